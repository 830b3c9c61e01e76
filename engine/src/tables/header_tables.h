// The standards' bit-rate and sampling-frequency tables.
#pragma once

namespace vortax {

// kbit/s by [MPEG-1 ? 0 : 1][layer - 1][bit-rate index]; index 0 (free format) has no
// bit rate of its own, and 15 is not used.
extern const int BitrateTable[2][3][16];

// Hz by [version code: 0 MPEG-2, 1 MPEG-1, 2 MPEG 2.5][frequency index 0..2].
extern const int FrequencyTable[3][3];

}  // namespace vortax
