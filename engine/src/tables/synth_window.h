// The polyphase synthesis window.
#pragma once

namespace vortax {

// D[0..511] of the standard scaled by 32768, so that a full-scale subband sample of 1.0
// comes out in 16-bit units; the largest coefficient is D[256] = 37519.0.
extern const float SynthWindow[512];

}  // namespace vortax
