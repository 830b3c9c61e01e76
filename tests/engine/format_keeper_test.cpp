#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <span>
#include <vector>

#include "format_keeper.h"

using namespace vortax;

namespace {

constexpr int Tone = 1000;
constexpr double Amplitude = 10000.0;

// `frames` of a 1 kHz sine at `frequency`; a stereo right channel lags by a quarter period.
std::vector<int16_t> Sine(int frames, int channels, int frequency) {
    std::vector<int16_t> samples;
    for (int i = 0; i < frames; ++i) {
        const double phase = 2.0 * std::numbers::pi * Tone * i / frequency;
        samples.push_back(static_cast<int16_t>(std::lround(Amplitude * std::sin(phase))));
        if (channels == 2) samples.push_back(static_cast<int16_t>(std::lround(Amplitude * std::cos(phase))));
    }
    return samples;
}

// Feeds `samples` in blocks of `block` frames and appends what comes out to `out`.
void Feed(FormatKeeper& keeper, std::vector<int16_t> samples, int block, int channels, int frequency,
          std::vector<int16_t>& out) {
    const int frames = static_cast<int>(samples.size()) / channels;
    for (int at = 0; at < frames; at += block) {
        const std::span<const int16_t> result =
            keeper.Convert(samples.data() + at * channels, std::min(block, frames - at), channels, frequency);
        ASSERT_EQ(keeper.Error(), nullptr);
        out.insert(out.end(), result.begin(), result.end());
    }
}

// A keeper that has taken a first 44.1 kHz stereo block.
FormatKeeper KeepingCdFormat() {
    FormatKeeper keeper;
    std::vector<int16_t> start = Sine(1152, 2, 44100);
    keeper.Convert(start.data(), 1152, 2, 44100);
    return keeper;
}

TEST(FormatKeeperTest, BlocksInTheKeptFormatPassAsTheCallersOwnSamples) {
    FormatKeeper keeper = KeepingCdFormat();
    std::vector<int16_t> block = Sine(1152, 2, 44100);
    const std::span<const int16_t> result = keeper.Convert(block.data(), 1152, 2, 44100);
    EXPECT_EQ(result.data(), block.data());
    EXPECT_EQ(result.size(), block.size());
}

TEST(FormatKeeperTest, MonoIsDuplicatedIntoBothChannels) {
    FormatKeeper keeper = KeepingCdFormat();
    std::vector<int16_t> mono = Sine(576, 1, 44100);
    const std::span<const int16_t> result = keeper.Convert(mono.data(), 576, 1, 44100);
    ASSERT_EQ(result.size(), 2 * mono.size());
    for (size_t i = 0; i < mono.size(); ++i) {
        EXPECT_EQ(result[2 * i], mono[i]) << i;
        EXPECT_EQ(result[2 * i + 1], mono[i]) << i;
    }
}

TEST(FormatKeeperTest, StereoIsAveragedIntoMono) {
    FormatKeeper keeper;
    std::vector<int16_t> mono = Sine(576, 1, 44100);
    keeper.Convert(mono.data(), 576, 1, 44100);
    std::vector<int16_t> stereo = Sine(576, 2, 44100);
    const std::span<const int16_t> result = keeper.Convert(stereo.data(), 576, 2, 44100);
    ASSERT_EQ(result.size(), 576u);
    for (size_t i = 0; i < result.size(); ++i)
        EXPECT_EQ(result[i], std::lround((stereo[2 * i] + stereo[2 * i + 1]) / 2.0)) << i;
}

TEST(FormatKeeperTest, HalfRateMonoPartComesOutAtTheKeptRateAndChannels) {
    FormatKeeper keeper = KeepingCdFormat();
    std::vector<int16_t> out;
    Feed(keeper, Sine(11025, 1, 22050), 576, 1, 22050, out);
    const std::span<const int16_t> tail = keeper.Flush();
    out.insert(out.end(), tail.begin(), tail.end());

    EXPECT_EQ(keeper.Frequency(), 44100);
    EXPECT_EQ(keeper.Channels(), 2);
    EXPECT_NEAR(static_cast<double>(out.size()) / 2, 22050, 2);
    // The middle 0.4 s, away from the filter's start and end.
    int crossings = 0;
    double power = 0;
    const size_t first = 2205;
    const size_t last = first + 17640;
    for (size_t i = first; i < last; ++i) {
        EXPECT_EQ(out[2 * i], out[2 * i + 1]) << i;
        crossings += out[2 * i - 2] < 0 && out[2 * i] >= 0;
        power += static_cast<double>(out[2 * i]) * out[2 * i];
    }
    EXPECT_NEAR(crossings, 400, 1);
    EXPECT_NEAR(std::sqrt(power / static_cast<double>(last - first)), Amplitude / std::numbers::sqrt2, 0.01 * Amplitude);
}

TEST(FormatKeeperTest, ReturnToTheKeptRateGivesOutTheResampledTailFirst) {
    FormatKeeper keeper = KeepingCdFormat();
    std::vector<int16_t> out;
    Feed(keeper, Sine(5000, 2, 22050), 576, 2, 22050, out);
    std::vector<int16_t> back = Sine(1152, 2, 44100);
    Feed(keeper, back, 1152, 2, 44100, out);

    EXPECT_NEAR(static_cast<double>(out.size()) / 2, 10000 + 1152, 2);
    EXPECT_TRUE(std::equal(back.begin(), back.end(), out.end() - static_cast<std::ptrdiff_t>(back.size())));
    EXPECT_TRUE(keeper.Flush().empty());
}

TEST(FormatKeeperTest, ResetLetsTheNextBlockSetTheFormat) {
    FormatKeeper keeper = KeepingCdFormat();
    keeper.Reset();
    std::vector<int16_t> mono = Sine(576, 1, 22050);
    EXPECT_EQ(keeper.Convert(mono.data(), 576, 1, 22050).data(), mono.data());
    EXPECT_EQ(keeper.Frequency(), 22050);
    EXPECT_EQ(keeper.Channels(), 1);
}

TEST(FormatKeeperTest, ABlockOfUnsupportedChannelsFailsVisibly) {
    FormatKeeper keeper = KeepingCdFormat();
    std::vector<int16_t> block(3 * 576);
    EXPECT_TRUE(keeper.Convert(block.data(), 576, 3, 44100).empty());
    EXPECT_NE(keeper.Error(), nullptr);
}

}  // namespace
