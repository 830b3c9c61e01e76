// The Xing frame, or its twin "Info" in constant-bit-rate files: a frame an encoder puts
// first, holding no audio but, after the side information, the stream's frame and byte
// counts, a seek table, and the encoder's extension with the samples it added before the
// audio (delay) and after it (padding).
#pragma once

#include <cstdint>

#include "frame_header.h"
#include "metadata.h"

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
    // ReplayGain, from the encoder's extension too: the track's (radio) and the album's
    // (audiophile) gains in tenths of a dB, and the peak amplitude with 1.0 as 1 << 23.
    int gains[2] = {};
    bool has_gain[2] = {};
    uint32_t peak = 0;  // 0 when not measured
};

// True when the frame (header first, all of it at hand) is a Xing or Info frame.
bool IsXingFrame(const uint8_t* frame, const FrameHeader& header);

// What a Xing or Info frame says.
XingFrame ReadXingFrame(const uint8_t* frame, const FrameHeader& header);

// Offers the extension's ReplayGain to the tags, as "-6.5 dB" and "0.987654".
void OfferReplayGain(const XingFrame& xing, StreamTags& tags);

}  // namespace vortax
