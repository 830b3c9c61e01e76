// 8-bit mu-law (G.711) for outputs that want it.
#pragma once

#include <cstdint>

namespace vortax {

// The mu-law code of a 16-bit sample, looked up by the sample divided by 32.
uint8_t MulawOf(int16_t sample);

}  // namespace vortax
