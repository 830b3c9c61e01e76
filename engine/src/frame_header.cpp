#include "frame_header.h"

#include "tables/header_tables.h"

namespace vortax {

namespace {

// MPEG-1 layer II leaves out the bit rates whose per-channel share would fall outside
// its allocation tables.
bool Layer2ModeAllowed(int bitrate_index, int mode) {
    const bool single = mode == MODE_SINGLE_CHANNEL;
    const bool lowOnly = bitrate_index == 1 || bitrate_index == 2 || bitrate_index == 3 || bitrate_index == 5;
    const bool highOnly = bitrate_index >= 11 && bitrate_index <= 14;
    return !(lowOnly && !single) && !(highOnly && single);
}

}  // namespace

bool ParseHeader(uint32_t word, FrameHeader& header) {
    if ((word >> 21) != 0x7FF) return false;
    FrameHeader h;
    h.word = word;
    const int id = static_cast<int>((word >> 19) & 1);
    h.version_code = (word >> 20) & 1 ? id : id + 2;
    const int layerBits = static_cast<int>((word >> 17) & 3);
    h.crc = ((word >> 16) & 1) == 0;
    h.bitrate_index = static_cast<int>((word >> 12) & 15);
    h.frequency_index = static_cast<int>((word >> 10) & 3);
    h.padding = (word >> 9) & 1;
    h.private_bit = (word >> 8) & 1;
    h.mode = static_cast<int>((word >> 6) & 3);
    h.mode_extension = static_cast<int>((word >> 4) & 3);
    h.copyright = (word >> 3) & 1;
    h.original = (word >> 2) & 1;
    h.emphasis = static_cast<int>(word & 3);

    if (h.bitrate_index == 15 || layerBits == 0 || h.frequency_index == 3) return false;
    if (h.version_code == 3) return false;
    h.layer = 4 - layerBits;
    if (h.version_code == 2 && h.layer != 3) return false;
    if (h.version_code == 1 && h.layer == 2 && !Layer2ModeAllowed(h.bitrate_index, h.mode)) return false;

    h.version = 2 - h.version_code;
    h.frequency = FrequencyTable[h.version_code][h.frequency_index];
    if (h.layer == 3) h.side_info = h.lsf() ? (h.channels() == 1 ? 9 : 17) : (h.channels() == 1 ? 17 : 32);
    if (h.bitrate_index != 0) {
        h.bitrate = BitrateTable[h.version_code == 1 ? 0 : 1][h.layer - 1][h.bitrate_index];
        // A frame carries an eighth of its samples' worth of bits, in whole slots.
        const int slot = SlotBytes(h);
        h.length = SamplesPerFrame(h) / 8 * h.bitrate * 1000 / h.frequency / slot * slot + PaddingBytes(h);
    }
    header = h;
    return true;
}

bool SameStream(const FrameHeader& a, const FrameHeader& b) {
    return a.version_code == b.version_code && a.layer == b.layer && a.frequency_index == b.frequency_index;
}

int SlotBytes(const FrameHeader& header) { return header.layer == 1 ? 4 : 1; }

int PaddingBytes(const FrameHeader& header) { return header.padding ? SlotBytes(header) : 0; }

void SetFreeFormatLength(FrameHeader& header, int unpadded) {
    header.length = unpadded + PaddingBytes(header);
    const int bytesPerKbit = SamplesPerFrame(header) / 8 * 1000;  // frame bytes at 1 kbit/s and 1 Hz
    header.bitrate = (unpadded * header.frequency + bytesPerKbit / 2) / bytesPerKbit;
}

int SamplesPerFrame(const FrameHeader& header) {
    if (header.layer == 1) return 384;
    if (header.layer == 3 && header.lsf()) return 576;
    return 1152;
}

}  // namespace vortax
