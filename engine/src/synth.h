// The polyphase synthesis filterbank: 32 subband samples of one channel in, 32 PCM
// samples out (fewer with frequency reduction), as 16-bit integers or as floats.
#pragma once

#include <cstdint>

namespace vortax {

struct SynthesisArea {
    // The history of 16 matrixed vectors in two buffers written alternately, one row of 32
    // values per vector: value j is the one output sample j needs. Each row is kept twice,
    // 16 rows apart, so that the 16 rows one block reads always follow one another.
    alignas(32) float buffers[2][32][32] = {};
    int current = 0;             // the buffer written next
    int slot = 0;                // 0..15, one back after every block
    const float* gains = nullptr;  // the equalizer's 32 gains, or none
    int reduction = 0;           // 0, 1 or 2: keep every 2^reduction-th output sample
    int16_t* out = nullptr;      // where the next PCM sample goes
    float* out_float = nullptr;  // when set, where it goes instead: unrounded, unclipped, full scale 1.0
    int stride = 1;              // 2 for interleaved stereo
};

// Clears the history and starts at the first buffer.
void ResetSynthesis(SynthesisArea& area);

// Turns 32 subband samples (full scale 1.0) into 32 >> reduction PCM samples at out,
// stepping by stride; out is left just past them.
void Synthesize(SynthesisArea& area, const float samples[32]);

// Synthesize for two channels at once, the first area's samples and then the second's;
// the window's work is shared when both have the same reduction.
void SynthesizePair(SynthesisArea& first, SynthesisArea& second, const float firstSamples[32],
                    const float secondSamples[32]);

// Writes 32 >> reduction zero samples without touching the history.
void SynthesizeSilence(SynthesisArea& area);

}  // namespace vortax
