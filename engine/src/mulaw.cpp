#include "mulaw.h"

#include <array>
#include <cstddef>

namespace vortax {

namespace {

constexpr int Bias = 0x84;
constexpr int Clip = 32635;

// G.711: sign, a three-bit segment and four bits of mantissa, all inverted.
constexpr uint8_t Encode(int linear) {
    const int sign = linear < 0 ? 0x80 : 0;
    int magnitude = linear < 0 ? -linear : linear;
    if (magnitude > Clip) magnitude = Clip;
    magnitude += Bias;
    int segment = 7;
    for (int mask = 0x4000; segment > 0 && !(magnitude & mask); mask >>= 1) --segment;
    const int mantissa = (magnitude >> (segment + 3)) & 0x0F;
    return static_cast<uint8_t>(~(sign | (segment << 4) | mantissa));
}

constexpr std::array<uint8_t, 2048> Table = [] {
    std::array<uint8_t, 2048> table{};
    for (int i = 0; i < 2048; ++i) table[static_cast<size_t>(i)] = Encode((i - 1024) * 32);
    return table;
}();

}  // namespace

uint8_t MulawOf(int16_t sample) { return Table[static_cast<size_t>(sample / 32 + 1024)]; }

}  // namespace vortax
