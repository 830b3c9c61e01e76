#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "kernels.h"
#include "synth.h"
#include "tables/synth_window.h"

using namespace vortax;

namespace {

using Block = std::array<float, 32>;

// Deterministic subband samples in -amplitude..amplitude.
std::vector<Block> Noise(int blocks, float amplitude) {
    std::vector<Block> result(static_cast<size_t>(blocks));
    uint32_t state = 12345;
    for (Block& block : result) {
        for (float& sample : block) {
            state = state * 1664525u + 1013904223u;
            sample = amplitude * (static_cast<float>(state >> 8) / 8388608.0f - 1.0f);
        }
    }
    return result;
}

// Runs the blocks through a fresh area and returns every PCM sample written.
std::vector<int16_t> Filter(const std::vector<Block>& blocks, int reduction = 0, const float* gains = nullptr) {
    SynthesisArea area;
    ResetSynthesis(area);
    area.reduction = reduction;
    area.gains = gains;
    std::vector<int16_t> pcm(blocks.size() * 32);
    area.out = pcm.data();
    for (const Block& block : blocks) Synthesize(area, block.data());
    pcm.resize(static_cast<size_t>(area.out - pcm.data()));
    return pcm;
}

// The filterbank as the standard writes it, in double precision: a 1024-value shift
// register of matrixed vectors, the 512-value U, the window, and the 16-term sums.
std::vector<int16_t> StandardSynthesis(const std::vector<Block>& blocks) {
    std::vector<double> v(1024, 0.0);
    std::vector<int16_t> pcm;
    for (const Block& block : blocks) {
        std::copy_backward(v.begin(), v.end() - 64, v.end());
        for (int i = 0; i < 64; ++i) {
            double sum = 0.0;
            for (int k = 0; k < 32; ++k) sum += std::cos((16 + i) * (2 * k + 1) * std::numbers::pi / 64) * block[static_cast<size_t>(k)];
            v[static_cast<size_t>(i)] = sum;
        }
        double u[512];
        for (int i = 0; i < 8; ++i) {
            for (int j = 0; j < 32; ++j) {
                u[64 * i + j] = v[static_cast<size_t>(128 * i + j)];
                u[64 * i + 32 + j] = v[static_cast<size_t>(128 * i + 96 + j)];
            }
        }
        for (int j = 0; j < 32; ++j) {
            double sum = 0.0;
            for (int i = 0; i < 16; ++i) sum += u[j + 32 * i] * SynthWindow[j + 32 * i];
            pcm.push_back(static_cast<int16_t>(std::clamp(std::nearbyint(sum), -32768.0, 32767.0)));
        }
    }
    return pcm;
}

TEST(SynthesisTest, WindowIsTheStandardsScaledBy32768) {
    EXPECT_EQ(SynthWindow[256], 37519.0f);  // D[256] = 1.144989014
    EXPECT_EQ(SynthWindow[1], -0.5f);       // D[1] = -0.000015259
    EXPECT_EQ(SynthWindow[64], 106.5f);     // D[64] = 0.003250122
    EXPECT_EQ(*std::max_element(SynthWindow, SynthWindow + 512), 37519.0f);
    // D[512 - i] = -D[i], except at multiples of 64 where the sign stays.
    for (int i = 1; i < 256; ++i) {
        const float mirrored = i % 64 == 0 ? SynthWindow[i] : -SynthWindow[i];
        EXPECT_EQ(SynthWindow[512 - i], mirrored) << i;
    }
}

TEST(SynthesisTest, MatchesTheStandardsFilterbank) {
    const std::vector<Block> blocks = Noise(64, 0.3f);
    const std::vector<int16_t> fast = Filter(blocks);
    const std::vector<int16_t> reference = StandardSynthesis(blocks);
    ASSERT_EQ(fast.size(), reference.size());
    int largest = 0;
    for (size_t i = 0; i < fast.size(); ++i) {
        EXPECT_LE(std::abs(fast[i] - reference[i]), 1) << i;
        largest = std::max(largest, std::abs(static_cast<int>(reference[i])));
    }
    EXPECT_GT(largest, 1000);  // the comparison saw a real signal
}

TEST(SynthesisTest, ZeroInGivesZeroOutAfterAReset) {
    SynthesisArea area;
    ResetSynthesis(area);
    int16_t pcm[32 * 20] = {};
    area.out = pcm;
    for (const Block& block : Noise(20, 0.5f)) Synthesize(area, block.data());
    ASSERT_TRUE(std::any_of(std::begin(pcm), std::end(pcm), [](int16_t s) { return s != 0; }));

    ResetSynthesis(area);
    std::fill(std::begin(pcm), std::end(pcm), int16_t{1});
    area.out = pcm;
    const float zeros[32] = {};
    for (int block = 0; block < 20; ++block) Synthesize(area, zeros);
    EXPECT_EQ(area.out, pcm + 32 * 20);
    EXPECT_TRUE(std::all_of(std::begin(pcm), std::end(pcm), [](int16_t s) { return s == 0; }));
}

TEST(SynthesisTest, FullScaleClipsAndNeverWraps) {
    const std::vector<Block> quiet = Noise(40, 1.0f / 64);
    std::vector<Block> loud = quiet;
    for (Block& block : loud) {
        for (float& sample : block) sample *= 64.0f;
    }
    const std::vector<int16_t> small = Filter(quiet);
    const std::vector<int16_t> large = Filter(loud);
    bool top = false;
    bool bottom = false;
    for (size_t i = 0; i < small.size(); ++i) {
        // 64 times the quiet output, give or take its rounding.
        const int scaled = small[i] * 64;
        if (scaled > 32767 + 64) {
            EXPECT_EQ(large[i], 32767) << i;
        }
        if (scaled < -32768 - 64) {
            EXPECT_EQ(large[i], -32768) << i;
        }
        top = top || large[i] == 32767;
        bottom = bottom || large[i] == -32768;
    }
    EXPECT_TRUE(top);
    EXPECT_TRUE(bottom);
}

TEST(SynthesisTest, RoundsTiesToEven) {
    // An impulse x in subband 0 puts V[48] = -x into its vector, and V[16] of every
    // vector is 0, so n blocks later (n odd) output sample 16 is -x D[32n + 16] alone.
    auto sampleAt = [](float impulse, int blocks) {
        SynthesisArea area;
        ResetSynthesis(area);
        int16_t pcm[32 * 16];
        area.out = pcm;
        const float zeros[32] = {};
        float first[32] = {};
        first[0] = impulse;
        Synthesize(area, first);
        for (int i = 1; i <= blocks; ++i) Synthesize(area, zeros);
        return pcm[32 * blocks + 16];
    };
    EXPECT_EQ(sampleAt(1.0f, 1), 52);       // D[48] = -52.0: no tie
    EXPECT_EQ(sampleAt(3.0f, 3), 2350);     // D[112] = -783.5: 2350.5
    EXPECT_EQ(sampleAt(-3.0f, 3), -2350);   // -2350.5
    EXPECT_EQ(sampleAt(1.0f, 3), 784);      // 783.5
    EXPECT_EQ(sampleAt(1.0f, 11), -22);     // D[368] = 22.5: -22.5
    EXPECT_EQ(sampleAt(1.0f, 15), -2);      // D[496] = 2.5: -2.5
}

TEST(SynthesisTest, HalfGainsHalveTheOutput) {
    const std::vector<Block> blocks = Noise(30, 0.05f);
    float halves[32];
    std::fill(std::begin(halves), std::end(halves), 0.5f);
    const std::vector<int16_t> full = Filter(blocks);
    const std::vector<int16_t> half = Filter(blocks, 0, halves);
    ASSERT_EQ(full.size(), half.size());
    int largest = 0;
    for (size_t i = 0; i < full.size(); ++i) {
        // Each output was rounded once: they differ by at most 1/2 + 1/4.
        EXPECT_LE(std::abs(half[i] - full[i] / 2.0), 0.75) << i;
        largest = std::max(largest, std::abs(static_cast<int>(full[i])));
    }
    EXPECT_GT(largest, 1000);
    EXPECT_LT(largest, 32767);  // nothing clipped
}

TEST(SynthesisTest, GainsActOnTheirOwnSubband) {
    std::vector<Block> blocks = Noise(30, 0.5f);
    float gains[32];
    std::fill(std::begin(gains), std::end(gains), 1.0f);
    gains[5] = 0.0f;
    const std::vector<int16_t> withGains = Filter(blocks, 0, gains);
    for (Block& block : blocks) block[5] = 0.0f;
    EXPECT_EQ(withGains, Filter(blocks));
}

TEST(SynthesisTest, ReductionKeepsEveryOtherOrFourthSample) {
    const std::vector<Block> blocks = Noise(10, 0.5f);
    const std::vector<int16_t> full = Filter(blocks);
    const std::vector<int16_t> half = Filter(blocks, 1);
    const std::vector<int16_t> quarter = Filter(blocks, 2);
    ASSERT_EQ(half.size(), 16u * 10);
    ASSERT_EQ(quarter.size(), 8u * 10);
    for (size_t i = 0; i < half.size(); ++i) EXPECT_EQ(half[i], full[2 * i]) << i;
    for (size_t i = 0; i < quarter.size(); ++i) EXPECT_EQ(quarter[i], full[4 * i]) << i;
}

TEST(SynthesisTest, StrideInterleaves) {
    const std::vector<Block> blocks = Noise(4, 0.5f);
    const std::vector<int16_t> plain = Filter(blocks);
    SynthesisArea area;
    ResetSynthesis(area);
    std::vector<int16_t> pcm(2 * plain.size() + 1, 7);
    area.out = pcm.data() + 1;
    area.stride = 2;
    for (const Block& block : blocks) Synthesize(area, block.data());
    EXPECT_EQ(area.out, pcm.data() + 1 + 2 * plain.size());
    for (size_t i = 0; i < plain.size(); ++i) {
        EXPECT_EQ(pcm[2 * i + 1], plain[i]) << i;
        EXPECT_EQ(pcm[2 * i], 7) << i;
    }
}

// Two channels through SynthesizePair, each with its own reduction, interleaved (stride 2)
// or into buffers of their own.
std::array<std::vector<int16_t>, 2> FilterPair(const std::vector<Block>& left, const std::vector<Block>& right,
                                               int leftReduction, int rightReduction, bool interleaved) {
    SynthesisArea areas[2];
    const int reductions[2] = {leftReduction, rightReduction};
    std::vector<int16_t> pcm(left.size() * 32 * 2, 7);
    for (int ch = 0; ch < 2; ++ch) {
        ResetSynthesis(areas[ch]);
        areas[ch].reduction = reductions[ch];
        areas[ch].stride = interleaved ? 2 : 1;
        areas[ch].out = interleaved ? pcm.data() + ch : pcm.data() + static_cast<ptrdiff_t>(ch * left.size() * 32);
    }
    for (size_t i = 0; i < left.size(); ++i) SynthesizePair(areas[0], areas[1], left[i].data(), right[i].data());
    std::array<std::vector<int16_t>, 2> out;
    for (int ch = 0; ch < 2; ++ch) {
        const size_t count = left.size() * (32u >> reductions[ch]);
        for (size_t i = 0; i < count; ++i) {
            out[ch].push_back(interleaved ? pcm[2 * i + static_cast<size_t>(ch)] : pcm[ch * left.size() * 32 + i]);
        }
        EXPECT_EQ(areas[ch].out, interleaved ? pcm.data() + 2 * count + ch
                                             : pcm.data() + static_cast<ptrdiff_t>(ch * left.size() * 32 + count));
    }
    return out;
}

TEST(SynthesisTest, APairGivesWhatEachChannelGivesAlone) {
    const std::vector<Block> left = Noise(40, 0.4f);
    std::vector<Block> right = Noise(41, 0.7f);
    right.erase(right.begin());
    for (const bool interleaved : {true, false}) {
        for (int reduction = 0; reduction <= 2; ++reduction) {
            const auto pair = FilterPair(left, right, reduction, reduction, interleaved);
            EXPECT_EQ(pair[0], Filter(left, reduction)) << reduction;
            EXPECT_EQ(pair[1], Filter(right, reduction)) << reduction;
        }
    }
    const auto mixed = FilterPair(left, right, 0, 1, false);
    EXPECT_EQ(mixed[0], Filter(left, 0));
    EXPECT_EQ(mixed[1], Filter(right, 1));
}

#ifdef VORTAX_AVX2_KERNELS
TEST(SynthesisTest, ThePlainAndTheAvx2KernelsGiveTheSameSamples) {
    UseAvx2Kernels(true);
    if (!Avx2Kernels()) GTEST_SKIP() << "no AVX2 on this processor";
    const std::vector<Block> left = Noise(60, 0.9f);
    std::vector<Block> right = Noise(61, 2.0f);  // loud enough to clip
    right.erase(right.begin());
    float gains[32];
    for (int sb = 0; sb < 32; ++sb) gains[sb] = 0.5f + static_cast<float>(sb) / 16.0f;
    std::vector<std::vector<int16_t>> runs[2];
    for (const bool avx2 : {false, true}) {
        UseAvx2Kernels(avx2);
        for (int reduction = 0; reduction <= 2; ++reduction) {
            runs[avx2].push_back(Filter(left, reduction, gains));
            const auto pair = FilterPair(left, right, reduction, reduction, true);
            runs[avx2].push_back(pair[0]);
            runs[avx2].push_back(pair[1]);
        }
    }
    UseAvx2Kernels(true);
    EXPECT_EQ(runs[0], runs[1]);
}
#endif

TEST(SynthesisTest, SilenceWritesZerosAndLeavesTheHistory) {
    const std::vector<Block> blocks = Noise(6, 0.5f);
    const std::vector<int16_t> plain = Filter(blocks);

    SynthesisArea area;
    ResetSynthesis(area);
    area.reduction = 1;
    int16_t quiet[16];
    std::fill(std::begin(quiet), std::end(quiet), int16_t{5});
    area.out = quiet;
    SynthesizeSilence(area);
    EXPECT_EQ(area.out, quiet + 16);
    EXPECT_TRUE(std::all_of(std::begin(quiet), std::end(quiet), [](int16_t s) { return s == 0; }));

    area.reduction = 0;
    std::vector<int16_t> pcm(plain.size() + 32);
    area.out = pcm.data();
    for (size_t i = 0; i < blocks.size(); ++i) {
        Synthesize(area, blocks[i].data());
        if (i == 2) SynthesizeSilence(area);
    }
    pcm.erase(pcm.begin() + 3 * 32, pcm.begin() + 4 * 32);
    EXPECT_EQ(pcm, plain);
}

}  // namespace
