// Every conformance stream decoded through the engine and compared, sample by sample, with
// its reference: both channels, and each channel selection of the stereo streams.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "conformance.h"
#include "engine_fixture.h"
#include "vortax.h"

namespace {

using Stream = ConformanceEntry;

// Decodes a stream with a channel selection (0 both, 1 first, 2 second, 3 averaged).
std::vector<int16_t> Decode(const Stream& stream, int32_t channels) {
    return DecodeFile(stream.stream, [channels](EngineContext* context) { EXPECT_EQ(engine_set_channels(context, channels), 0); });
}

std::string TestName(const ::testing::TestParamInfo<Stream>& info) {
    std::string name = info.param.name;
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

class ConformanceTest : public ::testing::TestWithParam<Stream> {};

TEST_P(ConformanceTest, DecodesWithinOneOfTheReference) {
    const Stream& stream = GetParam();
    const std::vector<int16_t> decoded = Decode(stream, 0);
    ASSERT_EQ(static_cast<int64_t>(decoded.size()), stream.decoded);
    const Comparison result = Compare(decoded, static_cast<size_t>(stream.offset), ReadPcm(stream.reference));
    std::printf("%-22s max difference %d, PSNR %.1f dB\n", stream.name.c_str(), result.worst, result.psnr);
    EXPECT_LE(result.worst, 1);
    EXPECT_GE(result.psnr, 96.0);
}

// One channel, the other, or the two averaged before synthesis. The averaged output can
// differ from the mean of the two rounded reference channels by one more half step, and
// says nothing where a reference channel was clipped.
class ChannelSelectionTest : public ::testing::TestWithParam<Stream> {};

TEST_P(ChannelSelectionTest, EachSelectionFollowsTheReference) {
    const Stream& stream = GetParam();
    const std::vector<int16_t> reference = ReadPcm(stream.reference);
    std::vector<double> expected[3];
    for (size_t i = 0; i + 1 < reference.size(); i += 2) {
        expected[0].push_back(reference[i]);
        expected[1].push_back(reference[i + 1]);
        const bool clipped = std::abs(reference[i]) >= 32767 || std::abs(reference[i + 1]) >= 32767;
        expected[2].push_back(clipped ? std::nan("") : (reference[i] + reference[i + 1]) / 2.0);
    }
    for (int selection = 1; selection <= 3; ++selection) {
        const std::vector<int16_t> decoded = Decode(stream, selection);
        ASSERT_EQ(static_cast<int64_t>(decoded.size()), stream.decoded / 2) << "selection " << selection;
        const Comparison result = Compare(decoded, static_cast<size_t>(stream.offset / 2), expected[selection - 1]);
        EXPECT_LE(result.worst, selection == 3 ? 2 : 1) << "selection " << selection;
        EXPECT_GE(result.psnr, 96.0) << "selection " << selection;
    }
}

std::vector<Stream> StereoStreams() {
    std::vector<Stream> streams = ConformanceStreams();
    std::erase_if(streams, [](const Stream& stream) { return !stream.stereo; });
    return streams;
}

INSTANTIATE_TEST_SUITE_P(Streams, ConformanceTest, ::testing::ValuesIn(ConformanceStreams()), TestName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ConformanceTest);
INSTANTIATE_TEST_SUITE_P(Streams, ChannelSelectionTest, ::testing::ValuesIn(StereoStreams()), TestName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ChannelSelectionTest);

TEST(ConformanceFolderTest, HoldsEveryLayer) {
    if (!std::filesystem::exists(CONFORMANCE_DIR)) GTEST_SKIP() << "no conformance streams at " << CONFORMANCE_DIR;
    EXPECT_EQ(ConformanceStreams().size(), 33u);
    EXPECT_EQ(StereoStreams().size(), 19u);
}

}  // namespace
