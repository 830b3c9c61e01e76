#include "xing.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string_view>

namespace vortax {

namespace {

constexpr int MarkBytes = 4;  // "Xing" or "Info"

// The mark stands right after the side information (a CRC moves it not).
int MarkAt(const FrameHeader& header) { return HeaderBytes + header.side_info; }

// CRC-16 with the polynomial 0x8005, bits reflected, as LAME's extension carries it.
uint16_t Checksum(const uint8_t* bytes, int length) {
    uint16_t crc = 0;
    for (int i = 0; i < length; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) crc = crc & 1 ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

// A ReplayGain field: 3 bits naming it (1 the track's, 2 the album's, 0 none), 3 saying who
// set it, a sign and 9 bits of tenths of a dB.
void ReadGain(const uint8_t* field, XingFrame& xing) {
    const int bits = field[0] << 8 | field[1];
    const int name = bits >> 13;
    if (name != 1 && name != 2) return;
    xing.has_gain[name - 1] = true;
    xing.gains[name - 1] = (bits & 0x200 ? -1 : 1) * (bits & 0x1FF);
}

// The encoder's extension: 36 bytes after the Xing fields, the encoder's name first, the
// peak amplitude at byte 11, two ReplayGain fields at 15 and 17, the delay and padding (12
// bits each) at byte 21, and at byte 34 a checksum of the frame up to there. FFmpeg's
// checksum covers other bytes, so an extension is also believed when it plainly is one: a
// known encoder's name, and a delay and padding an encoder could add.
void ReadEncoderExtension(const uint8_t* frame, int at, int end, XingFrame& xing) {
    constexpr int Length = 36;
    constexpr int PeakAt = 11;
    constexpr int GainAt = 15;
    constexpr int DelayAt = 21;
    constexpr int ChecksumAt = 34;
    constexpr int MostAdded = 3 * 1152;
    constexpr std::string_view Encoders[] = {"LAME", "Lavc", "Lavf"};
    if (at + Length > end) return;
    const int checksumAt = at + ChecksumAt;
    const uint16_t stored = static_cast<uint16_t>(frame[checksumAt] << 8 | frame[checksumAt + 1]);
    const uint8_t* d = frame + at + DelayAt;
    const int delay = d[0] << 4 | d[1] >> 4;
    const int padding = (d[1] & 0x0F) << 8 | d[2];
    const std::string_view name(reinterpret_cast<const char*>(frame + at), 4);
    const bool known = std::find(std::begin(Encoders), std::end(Encoders), name) != std::end(Encoders);
    if (Checksum(frame, checksumAt) != stored && !(known && delay <= MostAdded && padding <= MostAdded)) return;
    xing.encoder = true;
    xing.encoder_delay = delay;
    xing.encoder_padding = padding;
    xing.peak = WordAt(frame + at + PeakAt);
    for (const int offset : {at + GainAt, at + GainAt + 2}) ReadGain(frame + offset, xing);
}

}  // namespace

bool IsXingFrame(const uint8_t* frame, const FrameHeader& header) {
    const int at = MarkAt(header);
    if (header.layer != 3 || at + MarkBytes > header.length) return false;
    return std::memcmp(frame + at, "Xing", MarkBytes) == 0 || std::memcmp(frame + at, "Info", MarkBytes) == 0;
}

XingFrame ReadXingFrame(const uint8_t* frame, const FrameHeader& header) {
    XingFrame xing;
    const int end = header.length;
    auto fits = [&](int offset, int size) { return offset + size <= end; };
    const int at = MarkAt(header);
    if (!fits(at, MarkBytes + 4)) return xing;
    xing.vbr = std::memcmp(frame + at, "Xing", MarkBytes) == 0;
    const uint32_t flags = WordAt(frame + at + MarkBytes);
    int offset = at + MarkBytes + 4;
    if (flags & 1) {
        if (!fits(offset, 4)) return xing;
        xing.frames = WordAt(frame + offset);
        offset += 4;
    }
    if (flags & 2) {
        if (!fits(offset, 4)) return xing;
        xing.bytes = WordAt(frame + offset);
        offset += 4;
    }
    if (flags & 4) {
        if (!fits(offset, 100)) return xing;
        xing.has_table = true;
        std::memcpy(xing.table, frame + offset, 100);
        offset += 100;
    }
    if (flags & 8) offset += 4;
    ReadEncoderExtension(frame, offset, end, xing);
    return xing;
}

void OfferReplayGain(const XingFrame& xing, StreamTags& tags) {
    constexpr TagField Gains[] = {TagField::TrackGain, TagField::AlbumGain};
    char text[32];
    for (size_t i = 0; i < 2; ++i) {
        if (!xing.has_gain[i]) continue;
        const int tenths = std::abs(xing.gains[i]);
        std::snprintf(text, sizeof text, "%s%d.%d dB", xing.gains[i] < 0 ? "-" : "+", tenths / 10, tenths % 10);
        tags.Offer(Gains[i], text);
    }
    if (xing.peak == 0) return;
    std::snprintf(text, sizeof text, "%.6f", xing.peak / 8388608.0);
    tags.Offer(TagField::TrackPeak, text);
}

}  // namespace vortax
