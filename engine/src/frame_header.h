// MPEG audio frame headers: the fields of the 32-bit header word, their validity, and
// the lengths they give.
#pragma once

#include <cstdint>

namespace vortax {

enum { MODE_STEREO = 0, MODE_JOINT_STEREO = 1, MODE_DUAL_CHANNEL = 2, MODE_SINGLE_CHANNEL = 3 };

constexpr int HeaderBytes = 4;  // of a frame header

// Four bytes as a word, the first the most significant, as headers and Xing fields hold it.
inline uint32_t WordAt(const uint8_t* bytes) {
    return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
}

struct FrameHeader {
    uint32_t word = 0;
    int version_code = 0;  // 1 MPEG-1, 0 MPEG-2, 2 MPEG 2.5
    int version = 0;       // 1, 2, or 0 for MPEG 2.5
    int layer = 0;         // 1, 2 or 3
    bool crc = false;      // a 16-bit CRC follows the header
    int bitrate_index = 0;  // 0: free format, the frame length found from the stream
    int frequency_index = 0;
    bool padding = false;
    bool private_bit = false;
    int mode = 0;
    int mode_extension = 0;
    bool copyright = false;
    bool original = false;
    int emphasis = 0;
    int bitrate = 0;    // kbit/s; for free format, from the frame length once known
    int frequency = 0;  // Hz
    int length = 0;     // bytes of the whole frame, header included; 0 for free format until known
    int side_info = 0;  // layer III side-information bytes

    int channels() const { return mode == MODE_SINGLE_CHANNEL ? 1 : 2; }
    bool lsf() const { return version_code != 1; }  // MPEG-2 and 2.5: low sampling frequencies
};

// Parses a header word; false when it is not the header of a frame we can read.
bool ParseHeader(uint32_t word, FrameHeader& header);

// Whether two headers belong to one stream: the same version, layer and sampling frequency.
bool SameStream(const FrameHeader& a, const FrameHeader& b);

// Frames are made of slots: four bytes in layer I, one otherwise.
int SlotBytes(const FrameHeader& header);

// Bytes the padding bit adds to this frame: one slot.
int PaddingBytes(const FrameHeader& header);

// Completes a free-format header from its stream's frame length without padding: the
// frame's own length, and the bit rate that length gives.
void SetFreeFormatLength(FrameHeader& header, int unpadded);

// PCM samples one frame gives per channel: 384, 1152, or 576 for layer III at low rates.
int SamplesPerFrame(const FrameHeader& header);

}  // namespace vortax
