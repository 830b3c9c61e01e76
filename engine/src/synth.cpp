// The polyphase synthesis filterbank.
//
// The standard's 64-value vector V[i] = sum cos((16 + i)(2k + 1)pi/64) S[k] is a 32-point
// DCT-II X of the subband samples, folded: V[0..15] = X[16..31], V[16] = 0,
// V[17..31] = -X[31..17], V[32..48] = -X[16..0], V[49..63] = -X[1..15]. The windowing reads
// V[0..31] of the vectors of even age and V[32..63] of those of odd age, output sample j
// taking value j of each, or for j > 16 the mirrored value 32 - j, which the window's sign
// accounts for. So each vector is kept as two rows of 32 values, already mirrored: the
// first (from V[0..31]) goes to the current buffer and the second (from V[32..63]) to the
// other. As the buffers swap after every block, the current buffer holds exactly the rows
// the windowing of this block needs, and output sample j is the sum over the 16 rows of
// value j times its window coefficient.
#include "synth.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <numbers>
#include <type_traits>

#include "kernels.h"
#include "tables/synth_window.h"

namespace vortax {

namespace {

constexpr int Taps = 16;
constexpr int Outputs = 32;

// 1 / (2 cos((2k + 1) pi / 2N)) for the DCT sizes N = 32, 16, 8, 4, 2, one after another:
// size N starts at 32 - N.
const std::array<float, 31> Secants = [] {
    std::array<float, 31> values{};
    for (int n = 32; n >= 2; n /= 2) {
        for (int k = 0; k < n / 2; ++k) {
            values[32 - n + k] = static_cast<float>(0.5 / std::cos((2 * k + 1) * std::numbers::pi / (2 * n)));
        }
    }
    return values;
}();

// The window as the sums take it: row n holds, for each output sample, the coefficient of
// the vector of age n, negated where the sample reads a mirrored value of an even age.
struct WindowRows {
    alignas(32) float rows[Taps][Outputs];
};

const WindowRows Window = [] {
    WindowRows window{};
    for (int n = 0; n < Taps; ++n) {
        for (int j = 0; j < Outputs; ++j) {
            const double coefficient = SynthWindow[32 * n + j];
            window.rows[n][j] = static_cast<float>(j > 16 && n % 2 == 0 ? -coefficient : coefficient);
        }
    }
    return window;
}();

// Four floats, one SIMD register on every processor the engine targets: the values of one
// channel. Eight floats, one AVX register (two SSE registers in the plain build): the
// same values of two channels, the first in the low four lanes. The DCT works alike on
// both, each four lanes apart, so that two channels take the instructions of one.
typedef float Floats __attribute__((vector_size(16)));
typedef float FloatPairs __attribute__((vector_size(32)));
// The helpers that take and give eight-float vectors are all inlined: no call passes one,
// so the calling convention GCC warns of (it differs with AVX) never comes into play.
#pragma GCC diagnostic ignored "-Wpsabi"

// __builtin_shufflevector(a, b, I0, I1, I2, I3) on each four lanes of V.
template <int I0, int I1, int I2, int I3, typename V>
[[gnu::always_inline]] inline V Shuffle(V a, V b) {
    if constexpr (sizeof(V) == sizeof(Floats)) {
        return __builtin_shufflevector(a, b, I0, I1, I2, I3);
    } else {
        // Lane i of the four-lane a (i < 4) or b (i >= 4), in the low or high half.
        constexpr auto at = [](int i, int half) { return (i < 4 ? i : i + 4) + 4 * half; };
        return __builtin_shufflevector(a, b, at(I0, 0), at(I1, 0), at(I2, 0), at(I3, 0), at(I0, 1), at(I1, 1),
                                       at(I2, 1), at(I3, 1));
    }
}

// Four values from each channel's `in`, or four of the channels' common `values`.
template <typename V>
[[gnu::always_inline]] inline V Load(const float* const* in, int at) {
    Floats low;
    std::memcpy(&low, in[0] + at, sizeof low);
    if constexpr (sizeof(V) == sizeof(Floats)) {
        return low;
    } else {
        Floats high;
        std::memcpy(&high, in[1] + at, sizeof high);
        return __builtin_shufflevector(low, high, 0, 1, 2, 3, 4, 5, 6, 7);
    }
}

template <typename V>
[[gnu::always_inline]] inline V Common(const float* values) {
    const float* const both[2] = {values, values};
    return Load<V>(both, 0);
}

template <typename V>
[[gnu::always_inline]] inline V Splat(float value) {
    return V{} + value;
}

template <typename V>
[[gnu::always_inline]] inline V Reverse(V v) { return Shuffle<3, 2, 1, 0>(v, v); }

// (a[0], b[3], b[2], b[1]): four values of a reversed run that starts in a and goes on in b.
template <typename V>
[[gnu::always_inline]] inline V Mirror(V a, V b) { return Shuffle<0, 7, 6, 5>(a, b); }

// (a[1], a[2], a[3], b[0]): a run one value further on.
template <typename V>
[[gnu::always_inline]] inline V Next(V a, V b) { return Shuffle<1, 2, 3, 4>(a, b); }

// Rows i of four vectors become the vectors: a 4 x 4 transpose.
template <typename V>
[[gnu::always_inline]] inline void Transpose(V& a, V& b, V& c, V& d) {
    const V ab0 = Shuffle<0, 4, 1, 5>(a, b);
    const V ab1 = Shuffle<2, 6, 3, 7>(a, b);
    const V cd0 = Shuffle<0, 4, 1, 5>(c, d);
    const V cd1 = Shuffle<2, 6, 3, 7>(c, d);
    a = Shuffle<0, 1, 4, 5>(ab0, cd0);
    b = Shuffle<2, 3, 6, 7>(ab0, cd0);
    c = Shuffle<0, 1, 4, 5>(ab1, cd1);
    d = Shuffle<2, 3, 6, 7>(ab1, cd1);
}

// Joins the even outputs e and the odd parts o of a DCT of 8 or 16 values (two or four
// vectors each): out[2m] = e[m], out[2m + 1] = o[m] + o[m + 1], the last odd output o
// alone (plus 0).
template <int Vectors, typename V>
[[gnu::always_inline]] inline void Join(const V* e, const V* o, V* out) {
    for (int i = 0; i < Vectors; ++i) {
        const V t = o[i] + Next(o[i], i + 1 < Vectors ? o[i + 1] : V{});
        out[2 * i] = Shuffle<0, 4, 1, 5>(e[i], t);
        out[2 * i + 1] = Shuffle<2, 6, 3, 7>(e[i], t);
    }
}

// The 32-point DCT x[m] = sum in[k] cos((2k + 1) m pi / 64) by splitting each size N into
// the sums in[k] + in[N - 1 - k], whose DCT gives the even outputs, and the differences
// times 1 / (2 cos((2k + 1) pi / 2N)), whose DCT gives the odd ones as neighbours' sums.
// The four DCTs of 8 run side by side, one in each lane, between two transposes. Gives
// x[0..31] as eight vectors, of one channel (in[0]) or of two (in[0] and in[1]).
template <typename V>
[[gnu::always_inline]] inline void Dct32(const float* const* in, V x[8]) {
    const float* secants = Secants.data();
    V a[4];  // the sums of size 32, then of size 16
    V b[4];  // the differences
    for (int j = 0; j < 4; ++j) {
        const V low = Load<V>(in, 4 * j);
        const V high = Reverse(Load<V>(in, 28 - 4 * j));
        a[j] = low + high;
        b[j] = (low - high) * Common<V>(secants + 4 * j);
    }
    // Size 16: the four blocks of 8, two vectors each, in the order aa, ab, ba, bb.
    V blocks[4][2];
    for (int half = 0; half < 2; ++half) {
        const V* v = half ? b : a;
        for (int j = 0; j < 2; ++j) {
            const V low = v[j];
            const V high = Reverse(v[3 - j]);
            blocks[2 * half][j] = low + high;
            blocks[2 * half + 1][j] = (low - high) * Common<V>(secants + 16 + 4 * j);
        }
    }
    // Sizes 8, 4 and 2 with value k of the four blocks in c[k].
    V c[8];
    for (int j = 0; j < 2; ++j) {
        c[4 * j] = blocks[0][j], c[4 * j + 1] = blocks[1][j], c[4 * j + 2] = blocks[2][j], c[4 * j + 3] = blocks[3][j];
        Transpose(c[4 * j], c[4 * j + 1], c[4 * j + 2], c[4 * j + 3]);
    }
    V s[4];
    V d[4];
    for (int k = 0; k < 4; ++k) {
        s[k] = c[k] + c[7 - k];
        d[k] = (c[k] - c[7 - k]) * Splat<V>(secants[24 + k]);
    }
    const V sec4a = Splat<V>(secants[28]);
    const V sec4b = Splat<V>(secants[29]);
    const V sec2 = Splat<V>(secants[30]);
    const V ss0 = s[0] + s[3], ss1 = s[1] + s[2];
    const V sd0 = (s[0] - s[3]) * sec4a, sd1 = (s[1] - s[2]) * sec4b;
    const V ds0 = d[0] + d[3], ds1 = d[1] + d[2];
    const V dd0 = (d[0] - d[3]) * sec4a, dd1 = (d[1] - d[2]) * sec4b;
    const V sss = ss0 + ss1, ssd = (ss0 - ss1) * sec2;
    const V sds = sd0 + sd1, sdd = (sd0 - sd1) * sec2;
    const V dss = ds0 + ds1, dsd = (ds0 - ds1) * sec2;
    const V dds = dd0 + dd1, ddd = (dd0 - dd1) * sec2;
    // The size-4 joins (sss, sds + sdd, ssd, sdd) and (dss, dds + ddd, dsd, ddd), then the
    // size-8 join of those two.
    const V odd4 = dds + ddd;
    V r[8] = {sss, dss + odd4, sds + sdd, odd4 + dsd, ssd, dsd + ddd, sdd, ddd};
    Transpose(r[0], r[1], r[2], r[3]);
    Transpose(r[4], r[5], r[6], r[7]);
    // r[i] and r[4 + i]: the DCT of 8 of block i. Join them to sizes 16 and 32.
    V e16[4];
    V o16[4];
    const V aa[2] = {r[0], r[4]}, ab[2] = {r[1], r[5]}, ba[2] = {r[2], r[6]}, bb[2] = {r[3], r[7]};
    Join<2>(aa, ab, e16);
    Join<2>(ba, bb, o16);
    Join<4>(e16, o16, x);
}

// Eight floats: the sums of eight output samples, one AVX register (two SSE registers in
// the plain build, which gives the same bits). Eight 32-bit integers in the same bytes
// hold, as 16 16-bit lanes, each sample in the first lane of its pair on a little-endian
// processor.
typedef float Sums __attribute__((vector_size(32)));
typedef int16_t Words __attribute__((vector_size(32)));
typedef int16_t Samples __attribute__((vector_size(16)));
static_assert(std::endian::native == std::endian::little);

// Sums rounded to the nearest integer, ties to even, and clipped to 16 bits, each in the
// first lane of its pair. Clipped first, a sum plus 1.5 x 2^23 is rounded to an integer in
// the default rounding mode, which the low 16 bits of the float hold.
[[gnu::always_inline]] inline Words Rounded(Sums sums) {
    constexpr float Rounder = 12582912.0f;
    const Sums low = {-32768, -32768, -32768, -32768, -32768, -32768, -32768, -32768};
    const Sums high = {32767, 32767, 32767, 32767, 32767, 32767, 32767, 32767};
    const Sums rounder = {Rounder, Rounder, Rounder, Rounder, Rounder, Rounder, Rounder, Rounder};
    sums = sums < low ? low : sums;
    sums = sums > high ? high : sums;
    return __builtin_bit_cast(Words, sums + rounder);
}

// Sums as floats, 1.0 for the 16-bit full scale 32768: what 16 bits would round and clip
// is kept, for clients that mix or process further.
[[gnu::always_inline]] inline Sums Scaled(Sums sums) { return sums * (1.0f / 32768); }

[[gnu::always_inline]] inline void Store(Sums sums, int16_t* pcm) {
    const Words words = Rounded(sums);
    const Samples samples = __builtin_shufflevector(words, words, 0, 2, 4, 6, 8, 10, 12, 14);
    std::memcpy(pcm, &samples, sizeof samples);
}

[[gnu::always_inline]] inline void Store(Sums sums, float* pcm) {
    const Sums values = Scaled(sums);
    std::memcpy(pcm, &values, sizeof values);
}

// Two channels' sums stored interleaved, a sample of the first channel before each of the
// second's: each pair one 32-bit word, the first sample in its low half, made by masks and
// shifts rather than shuffles of 16-bit lanes, which SSE2 lacks.
[[gnu::always_inline]] inline void StorePair(Sums first, Sums second, int16_t* pcm) {
    typedef int32_t Pairs __attribute__((vector_size(32)));
    const auto a = __builtin_bit_cast(Pairs, Rounded(first));
    const auto b = __builtin_bit_cast(Pairs, Rounded(second));
    const Pairs pairs = (a & 0xFFFF) | (b << 16);
    std::memcpy(pcm, &pairs, sizeof pairs);
}

[[gnu::always_inline]] inline void StorePair(Sums first, Sums second, float* pcm) {
    const Sums a = Scaled(first);
    const Sums b = Scaled(second);
    const Sums low = __builtin_shufflevector(a, b, 0, 8, 1, 9, 2, 10, 3, 11);
    const Sums high = __builtin_shufflevector(a, b, 4, 12, 5, 13, 6, 14, 7, 15);
    std::memcpy(pcm, &low, sizeof low);
    std::memcpy(pcm + 8, &high, sizeof high);
}

// Every Step-th output sample of one or two channels (sharing the window's loads): each a
// sum of 16 products in the order of the ages, from the rows of ages 0 to 15 (rows slot to
// slot + 15), stored as samples of type T: into pcm, or with `pairs` set, as interleaved
// pairs of the two channels' samples there. Float sums are within a hundredth of a 16-bit
// step of exact ones, so a sample differs from an exact rounding only where the exact sum
// lies that close to half a step.
template <int Step, int Channels, bool Wide, typename T>
[[gnu::always_inline]] inline void WindowSums(SynthesisArea* const* areas, T (*pcm)[Outputs], T* pairs) {
    constexpr int Count = Outputs / Step;
    // Each vector's additions wait for one another, and the more vectors there are, the
    // more of them the processor has under way side by side: with wide registers all of a
    // block's sums at once (up to four vectors for each channel); with SSE's, whose
    // vectors take two registers each, as many as the registers hold.
    constexpr int Vectors = (Wide ? Count : std::min(Count, Outputs / Channels)) / 8;
    // Eight values, Step apart (vectors go by reference: by value they would change the
    // calling convention between the builds).
    auto load = [](const float* values, Sums& v) {
        if constexpr (Step == 1) {
            std::memcpy(&v, values, sizeof v);
        } else {
            float lanes[8];
            for (int i = 0; i < 8; ++i) lanes[i] = values[i * Step];
            std::memcpy(&v, lanes, sizeof v);
        }
    };
    // The row of age n is rows[ch][n].
    const float (*rows[Channels])[Outputs];
    for (int ch = 0; ch < Channels; ++ch) rows[ch] = areas[ch]->buffers[areas[ch]->current] + areas[ch]->slot;
    for (int first = 0; first < Count; first += 8 * Vectors) {
        Sums sums[Channels][Vectors] = {};
        for (int n = 0; n < Taps; ++n) {
            for (int v = 0; v < Vectors; ++v) {
                const int at = (first + 8 * v) * Step;
                Sums window;
                load(Window.rows[n] + at, window);
                for (int ch = 0; ch < Channels; ++ch) {
                    Sums values;
                    load(rows[ch][n] + at, values);
                    sums[ch][v] += window * values;
                }
            }
        }
        for (int v = 0; v < Vectors; ++v) {
            const int at = first + 8 * v;
            if constexpr (Channels == 2) {
                if (pairs != nullptr) {
                    StorePair(sums[0][v], sums[1][v], pairs + 2 * at);
                    continue;
                }
            }
            for (int ch = 0; ch < Channels; ++ch) Store(sums[ch][v], pcm[ch] + at);
        }
    }
}

// One block's matrixed vectors into the histories of one or two channels: two rows each
// from x[0..31] (V[0..31] = x[16..31], 0, -x[31..17] mirrored into x[16..31], 0, x[31..17];
// V[32..63] mirrored into -x[16..0], -x[1..15]).
// Two channels share eight-float vectors only with wide registers: with SSE's, the shuffles
// across each vector's two registers cost more than a second DCT.
template <int Channels, bool Wide>
[[gnu::always_inline]] inline void Matrix(SynthesisArea* const* areas, const float* const* samples) {
    if constexpr (Channels == 2 && !Wide) {
        for (int ch = 0; ch < Channels; ++ch) Matrix<1, false>(areas + ch, samples + ch);
        return;
    }
    using V = std::conditional_t<Channels == 1, Floats, FloatPairs>;
    alignas(16) float scaled[Channels][32];
    const float* in[Channels];
    for (int ch = 0; ch < Channels; ++ch) {
        in[ch] = samples[ch];
        if (areas[ch]->gains == nullptr) continue;
        for (int k = 0; k < 32; ++k) scaled[ch][k] = samples[ch][k] * areas[ch]->gains[k];
        in[ch] = scaled[ch];
    }
    V x[8];
    Dct32(in, x);
    const V first[8] = {x[4], x[5], x[6], x[7], Mirror(V{}, x[7]), Mirror(x[7], x[6]), Mirror(x[6], x[5]),
                        Mirror(x[5], x[4])};
    const V second[8] = {-Mirror(x[4], x[3]), -Mirror(x[3], x[2]), -Mirror(x[2], x[1]), -Mirror(x[1], x[0]),
                         -x[0], -x[1], -x[2], -x[3]};
    for (int ch = 0; ch < Channels; ++ch) {
        SynthesisArea& area = *areas[ch];
        float (*current)[Outputs] = area.buffers[area.current] + area.slot;
        float (*other)[Outputs] = area.buffers[area.current ^ 1] + area.slot;
        // Stored eight values at a time, as the windowing loads them right after: a load
        // that spans two stores still on their way waits for both.
#pragma GCC unroll 4
        for (int i = 0; i < 4; ++i) {
            if constexpr (Channels == 1 && !Wide) {
                // SSE's registers hold four values: they are loaded four at a time too.
                for (int half = 0; half < 2; ++half) {
                    const int at = 8 * i + 4 * half;
                    const Floats& firstPart = first[2 * i + half];
                    const Floats& secondPart = second[2 * i + half];
                    for (float* row : {current[0], current[Taps]}) std::memcpy(row + at, &firstPart, sizeof firstPart);
                    for (float* row : {other[0], other[Taps]}) std::memcpy(row + at, &secondPart, sizeof secondPart);
                }
                continue;
            }
            Sums firstPart;
            Sums secondPart;
            if constexpr (Channels == 1) {
                firstPart = __builtin_shufflevector(first[2 * i], first[2 * i + 1], 0, 1, 2, 3, 4, 5, 6, 7);
                secondPart = __builtin_shufflevector(second[2 * i], second[2 * i + 1], 0, 1, 2, 3, 4, 5, 6, 7);
            } else if (ch == 0) {
                firstPart = __builtin_shufflevector(first[2 * i], first[2 * i + 1], 0, 1, 2, 3, 8, 9, 10, 11);
                secondPart = __builtin_shufflevector(second[2 * i], second[2 * i + 1], 0, 1, 2, 3, 8, 9, 10, 11);
            } else {
                firstPart = __builtin_shufflevector(first[2 * i], first[2 * i + 1], 4, 5, 6, 7, 12, 13, 14, 15);
                secondPart = __builtin_shufflevector(second[2 * i], second[2 * i + 1], 4, 5, 6, 7, 12, 13, 14, 15);
            }
            for (float* row : {current[0], current[Taps]}) std::memcpy(row + 8 * i, &firstPart, sizeof firstPart);
            for (float* row : {other[0], other[Taps]}) std::memcpy(row + 8 * i, &secondPart, sizeof secondPart);
        }
    }
}

// The blocks of one or two channels, which share the reduction, into pcm or as pairs.
template <int Channels, bool Wide, typename T>
[[gnu::always_inline]] inline void Blocks(SynthesisArea* const* areas, const float* const* samples, T (*pcm)[Outputs],
                                          T* pairs) {
    Matrix<Channels, Wide>(areas, samples);
    switch (areas[0]->reduction) {
        case 0: WindowSums<1, Channels, Wide>(areas, pcm, pairs); break;
        case 1: WindowSums<2, Channels, Wide>(areas, pcm, pairs); break;
        default: WindowSums<4, Channels, Wide>(areas, pcm, pairs); break;
    }
}

template <int Channels, typename T>
void BlocksPlain(SynthesisArea* const* areas, const float* const* samples, T (*pcm)[Outputs], T* pairs) {
    Blocks<Channels, false>(areas, samples, pcm, pairs);
}

#ifdef VORTAX_AVX2_KERNELS
template <int Channels, typename T>
[[VORTAX_AVX2]] void BlocksAvx2(SynthesisArea* const* areas, const float* const* samples, T (*pcm)[Outputs],
                                T* pairs) {
    Blocks<Channels, true>(areas, samples, pcm, pairs);
}
#endif

// Where an area's samples of type T go.
template <typename T>
T*& Target(SynthesisArea& area) {
    if constexpr (std::is_same_v<T, float>) {
        return area.out_float;
    } else {
        return area.out;
    }
}

template <int Channels, typename T>
void Run(SynthesisArea* const* areas, const float* const* samples) {
    T pcm[Channels][Outputs];
    const int count = Outputs >> areas[0]->reduction;
    T*& first = Target<T>(*areas[0]);
    T*& last = Target<T>(*areas[Channels - 1]);
    // Interleaved stereo: both channels' samples go out together, straight from the sums.
    const bool paired = Channels == 2 && areas[0]->stride == 2 && areas[1]->stride == 2 && last == first + 1;
    VORTAX_KERNEL(Blocks, <Channels, T>)(areas, samples, pcm, paired ? first : nullptr);
    if (paired) {
        first += 2 * count;
        last += 2 * count;
    } else {
        for (int ch = 0; ch < Channels; ++ch) {
            T*& target = Target<T>(*areas[ch]);
            T* out = target;
            for (int k = 0; k < count; ++k) {
                *out = pcm[ch][k];
                out += areas[ch]->stride;
            }
            target = out;
        }
    }
    for (int ch = 0; ch < Channels; ++ch) {
        areas[ch]->slot = (areas[ch]->slot - 1) & 15;
        areas[ch]->current ^= 1;
    }
}

template <typename T>
void Silence(SynthesisArea& area) {
    T*& out = Target<T>(area);
    for (int i = 0; i < Outputs >> area.reduction; ++i) {
        *out = 0;
        out += area.stride;
    }
}

}  // namespace

void ResetSynthesis(SynthesisArea& area) {
    for (auto& buffer : area.buffers) {
        for (auto& row : buffer) {
            for (float& value : row) value = 0.0f;
        }
    }
    area.current = 0;
    area.slot = 0;
}

void Synthesize(SynthesisArea& area, const float samples[32]) {
    SynthesisArea* const areas[1] = {&area};
    const float* const blocks[1] = {samples};
    if (area.out_float) {
        Run<1, float>(areas, blocks);
    } else {
        Run<1, int16_t>(areas, blocks);
    }
}

void SynthesizePair(SynthesisArea& first, SynthesisArea& second, const float firstSamples[32],
                    const float secondSamples[32]) {
    if (first.reduction != second.reduction) {
        Synthesize(first, firstSamples);
        Synthesize(second, secondSamples);
        return;
    }
    SynthesisArea* const areas[2] = {&first, &second};
    const float* const blocks[2] = {firstSamples, secondSamples};
    if (first.out_float) {
        Run<2, float>(areas, blocks);
    } else {
        Run<2, int16_t>(areas, blocks);
    }
}

void SynthesizeSilence(SynthesisArea& area) {
    if (area.out_float) {
        Silence<float>(area);
    } else {
        Silence<int16_t>(area);
    }
}

}  // namespace vortax
