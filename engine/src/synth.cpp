// The polyphase synthesis filterbank.
//
// The standard's 64-value vector V[i] = sum cos((16 + i)(2k + 1)pi/64) S[k] is a 32-point
// DCT-II X of the subband samples, folded: V[0..15] = X[16..31], V[16] = 0,
// V[17..31] = -X[31..17], V[32..48] = -X[16..0], V[49..63] = -X[1..15]. The windowing reads
// V[0..31] of the vectors of even age and V[32..63] of those of odd age, so each vector is
// kept as two halves of 17 values: the first (X[16..31], 0) goes to the current buffer and
// the second (-X[16..0]) to the other. As the buffers swap after every block, the current
// buffer holds exactly the halves the windowing of this block needs.
#include "synth.h"

#include <array>
#include <cmath>
#include <numbers>

#include "tables/synth_window.h"

namespace {

constexpr int SlotValues = 17;

// 1 / (2 cos((2k + 1) pi / 2N)) for the DCT sizes N = 32, 16, 8, 4, 2, one after another:
// size N starts at 32 - N.
const std::array<float, 31>& Secants() {
    static const std::array<float, 31> table = [] {
        std::array<float, 31> values{};
        for (int n = 32; n >= 2; n /= 2) {
            for (int k = 0; k < n / 2; ++k) {
                values[32 - n + k] = static_cast<float>(0.5 / std::cos((2 * k + 1) * std::numbers::pi / (2 * n)));
            }
        }
        return values;
    }();
    return table;
}

// out[m] = sum in[k] cos((2k + 1) m pi / 2N), split into the halves' sums and differences
// (the even and odd outputs) until one value is left.
template <int N>
void Dct(const float* in, float* out) {
    const float* secant = Secants().data() + (32 - N);
    float sums[N / 2];
    float differences[N / 2];
    for (int k = 0; k < N / 2; ++k) {
        sums[k] = in[k] + in[N - 1 - k];
        differences[k] = (in[k] - in[N - 1 - k]) * secant[k];
    }
    float even[N / 2];
    float odd[N / 2];
    Dct<N / 2>(sums, even);
    Dct<N / 2>(differences, odd);
    for (int m = 0; m < N / 2 - 1; ++m) {
        out[2 * m] = even[m];
        out[2 * m + 1] = odd[m] + odd[m + 1];
    }
    out[N - 2] = even[N / 2 - 1];
    out[N - 1] = odd[N / 2 - 1];
}

template <>
void Dct<1>(const float* in, float* out) {
    out[0] = in[0];
}

int16_t ToPcm(double sum) {
    const double rounded = std::nearbyint(sum);
    if (rounded > 32767.0) return 32767;
    if (rounded < -32768.0) return -32768;
    return static_cast<int16_t>(rounded);
}

}  // namespace

void ResetSynthesis(SynthesisArea& area) {
    for (auto& buffer : area.buffers) {
        for (float& value : buffer) value = 0.0f;
    }
    area.current = 0;
    area.slot = 0;
}

void Synthesize(SynthesisArea& area, const float samples[32]) {
    float input[32];
    for (int k = 0; k < 32; ++k) {
        input[k] = area.gains != nullptr ? samples[k] * area.gains[k] : samples[k];
    }
    float x[32];
    Dct<32>(input, x);

    const float* history = area.buffers[area.current];
    float* first = area.buffers[area.current] + area.slot * SlotValues;
    float* second = area.buffers[area.current ^ 1] + area.slot * SlotValues;
    for (int k = 0; k < 16; ++k) first[k] = x[16 + k];
    first[16] = 0.0f;
    for (int k = 0; k <= 16; ++k) second[k] = -x[16 - k];

    // The vector of age n sits in slot (slot + n) mod 16.
    int offsets[16];
    for (int n = 0; n < 16; ++n) offsets[n] = ((area.slot + n) & 15) * SlotValues;

    const int step = 1 << area.reduction;
    int16_t* out = area.out;
    for (int j = 0; j < 32; j += step) {
        double sum = 0.0;
        if (j <= 16) {
            for (int n = 0; n < 16; ++n) {
                sum += static_cast<double>(SynthWindow[32 * n + j]) * history[offsets[n] + j];
            }
        } else {
            // V[j] and V[32 + j] mirror into index 32 - j, negated in the first half.
            for (int n = 0; n < 16; n += 2) {
                sum -= static_cast<double>(SynthWindow[32 * n + j]) * history[offsets[n] + 32 - j];
                sum += static_cast<double>(SynthWindow[32 * n + 32 + j]) * history[offsets[n + 1] + 32 - j];
            }
        }
        *out = ToPcm(sum);
        out += area.stride;
    }
    area.out = out;

    area.slot = (area.slot - 1) & 15;
    area.current ^= 1;
}

void SynthesizeSilence(SynthesisArea& area) {
    const int count = 32 >> area.reduction;
    for (int i = 0; i < count; ++i) {
        *area.out = 0;
        area.out += area.stride;
    }
}
