// The frame index: where each audio frame of a stream starts, in the input and in samples,
// and what decoding it needs from the frames before it, so that a seek starts decoding far
// enough back for the frames it wants to come out exactly as they do from the start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "frame_reader.h"
#include "vortax.h"

namespace vortax {

struct IndexedFrame {
    int64_t offset = 0;            // of its header in the input
    int64_t sample = 0;            // of its first sample, per channel, from the stream's first
    uint16_t main_data_begin = 0;  // layer III: reservoir bytes it takes from the frames before it
    uint16_t main_bytes = 0;       // layer III: main-data bytes it puts in the reservoir
};

struct FrameIndex {
    bool built = false;
    std::vector<IndexedFrame> frames;  // the audio frames, a Xing or Info frame left out
    int64_t samples = 0;               // per channel, of all of them
};

// Reads every frame from where `reader` and the source stand to the end of the input, as
// decoding would find them, and indexes the audio frames; VORTAX_OK or the input's code.
int32_t IndexFrames(EngineContext* context, FrameReader& reader, FrameIndex& index);

// The frame that holds `sample`, the last one for a sample past the end; the index has frames.
size_t FrameHolding(const FrameIndex& index, int64_t sample);

// The frame to start decoding at for frame `target` to come out as it does from the start.
size_t WarmUpStart(const FrameIndex& index, size_t target);

}  // namespace vortax
