#include "program_stream.h"

#include <algorithm>

namespace vortax {

namespace {

// Start codes are 00 00 01 and an id; from 0xB9 on they belong to the program stream
// itself, while lower ones are the video's own and never start a packet.
constexpr uint8_t MPEG_PROGRAM_END_CODE = 0xB9;
constexpr uint8_t PACK_START_CODE = 0xBA;
constexpr uint8_t FIRST_AUDIO_STREAM = 0xC0;
constexpr uint8_t LAST_AUDIO_STREAM = 0xDF;

constexpr size_t StartCodeBytes = 4;
constexpr size_t PesHeadBytes = 6;  // start code and PES_packet_length
constexpr size_t MostStuffing = 16;  // bytes of 0xFF in an MPEG-1 PES header

// Whether the bytes can begin a start code of the program stream.
bool StartCodePrefix(const uint8_t* h, size_t n) {
    constexpr uint8_t prefix[] = {0, 0, 1};
    for (size_t i = 0; i < std::min<size_t>(n, 3); ++i)
        if (h[i] != prefix[i]) return false;
    return n < StartCodeBytes || h[3] >= MPEG_PROGRAM_END_CODE;
}

// The length of a pack header: MPEG-2's ('01' after the start code) is 14 bytes and its
// pack_stuffing_length, MPEG-1's ('0010') 12.
size_t PackHeaderLength(const uint8_t* h, size_t n) {
    if (n <= StartCodeBytes) return StartCodeBytes + 1;
    if ((h[4] & 0xC0) == 0x40) return n < 14 ? 14 : 14 + (h[13] & 7);
    return (h[4] & 0xF0) == 0x20 ? 12 : 0;
}

// The length of a PES header: MPEG-2's ('10' marker) gives PES_header_data_length at byte 8;
// MPEG-1's is stuffing, an optional STD buffer size ('01'), then a PTS ('0010'), a PTS
// and DTS ('0011') or neither (0x0F).
size_t PesHeaderLength(const uint8_t* h, size_t n) {
    if (n <= PesHeadBytes) return PesHeadBytes + 1;
    if ((h[6] & 0xC0) == 0x80) return n < 9 ? 9 : 9 + h[8];
    size_t i = PesHeadBytes;
    while (i < n && h[i] == 0xFF)
        if (++i > PesHeadBytes + MostStuffing) return 0;
    if (i < n && (h[i] & 0xC0) == 0x40) i += 2;
    if (i >= n) return i + 1;
    if (h[i] >> 4 == 2) return i + 5;
    if (h[i] >> 4 == 3) return i + 10;
    return h[i] == 0x0F ? i + 1 : 0;
}

}  // namespace

void ProgramStream::Reset() { *this = ProgramStream(); }

void ProgramStream::Push(const uint8_t* bytes, size_t size, std::vector<uint8_t>& audio) {
    held.insert(held.end(), bytes, bytes + size);
    size_t used = 0;
    while (used < held.size()) {
        const size_t step = Step(held.data() + used, held.size() - used, audio);
        if (step == 0) break;
        used += step;
    }
    held.erase(held.begin(), held.begin() + static_cast<ptrdiff_t>(used));
}

bool ProgramStream::Kept(uint8_t stream_id) const {
    const bool audio = stream_id >= FIRST_AUDIO_STREAM && stream_id <= LAST_AUDIO_STREAM;
    return audio && (audio_stream == 0 || audio_stream == stream_id);
}

// The header bytes of what `h` starts (a start code), as far as its `n` bytes tell: more
// than `n` while more must come, 0 when they make no header. Of a packet that is passed
// over, only the length is read.
size_t ProgramStream::HeaderLength(const uint8_t* h, size_t n) const {
    const uint8_t stream_id = h[3];
    if (stream_id == MPEG_PROGRAM_END_CODE) return StartCodeBytes;
    if (stream_id == PACK_START_CODE) return PackHeaderLength(h, n);
    if (n < PesHeadBytes) return PesHeadBytes;
    return Kept(stream_id) ? PesHeaderLength(h, n) : PesHeadBytes;
}

// Uses what the `n` bytes at `h` start: payload, a header, or a byte that starts none.
// Gives the bytes used, 0 when more must come first.
size_t ProgramStream::Step(const uint8_t* h, size_t n, std::vector<uint8_t>& audio) {
    if (left > 0) {
        const size_t payload = std::min(left, n);
        if (keep) audio.insert(audio.end(), h, h + payload);
        left -= payload;
        return payload;
    }
    if (!StartCodePrefix(h, n)) return Drop(h[0], audio);
    if (n < StartCodeBytes) return 0;
    const size_t header = HeaderLength(h, n);
    if (header == 0) return Drop(h[0], audio);
    if (header > n) return 0;
    const uint8_t stream_id = h[3];
    const size_t length = stream_id > PACK_START_CODE ? PesHeadBytes + (h[4] << 8 | h[5]) : header;
    const bool unknown = length == PesHeadBytes && stream_id > PACK_START_CODE;
    if (length < header && !unknown) return Drop(h[0], audio);
    keep = Kept(stream_id);
    if (keep) audio_stream = stream_id;
    open = unknown;
    left = unknown ? 0 : length - header;
    return header;
}

// A byte that starts no header: the payload of a packet that runs to the next start code,
// or damage.
size_t ProgramStream::Drop(uint8_t byte, std::vector<uint8_t>& audio) const {
    if (open && keep) audio.push_back(byte);
    return 1;
}

}  // namespace vortax
