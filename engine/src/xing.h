// The Xing frame, or its twin "Info" in constant-bit-rate files: a frame an encoder puts
// first, holding no audio but, after the side information, the stream's frame and byte
// counts, a seek table, and the encoder's extension with the samples it added before the
// audio (delay) and after it (padding).
#pragma once

#include <cstdint>

#include "frame_header.h"

namespace vortax {

struct XingFrame {
    bool vbr = false;     // "Xing": the bit rate varies
    uint32_t frames = 0;  // 0 when not given
    uint32_t bytes = 0;   // 0 when not given
    bool has_table = false;
    uint8_t table[100] = {};
    bool encoder = false;
    int encoder_delay = 0;    // samples per channel
    int encoder_padding = 0;  // samples per channel
};

// True when the frame (header first, all of it at hand) is a Xing or Info frame.
bool IsXingFrame(const uint8_t* frame, const FrameHeader& header);

// What a Xing or Info frame says.
XingFrame ReadXingFrame(const uint8_t* frame, const FrameHeader& header);

}  // namespace vortax
