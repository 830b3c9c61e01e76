// What the layer decoders share: where each channel of the stream goes, and how a frame
// is abandoned.
#pragma once

#include "synth.h"

namespace vortax {

// The synthesis targets of the stream's two channels (channel 1 only in a two-channel
// stream). A null target is not decoded to PCM; with `average` both channels are averaged
// into the target of channel 0.
struct Routing {
    SynthesisArea* target[2] = {nullptr, nullptr};
    bool average = false;
    int reduction = 0;  // 0, 1 or 2: keep the lowest 32 >> reduction subbands
};

// Thrown to abandon a frame the decoder finds faulty; the client sees -600.
struct FrameFault {
    const char* what;
};

}  // namespace vortax
