// Every conformance stream decoded through the engine and compared, sample by sample, with
// its reference: both channels, and each channel selection of the stereo streams.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine_fixture.h"
#include "vortax.h"

namespace {

struct Stream {
    std::string name;
    bool stereo = false;  // every frame has two channels
    int64_t decoded = 0;  // samples over all channels
    int64_t offset = 0;   // decoded samples the reference leaves out at its start
};

void PrintTo(const Stream& stream, std::ostream* out) { *out << stream.name; }

std::vector<Stream> Streams() {
    std::vector<Stream> streams;
    if (!std::filesystem::exists(CONFORMANCE_DIR)) return streams;
    std::ifstream in(std::string(CONFORMANCE_DIR) + "/MANIFEST.tsv");
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::vector<std::string> columns;
        std::istringstream fields(line);
        for (std::string column; std::getline(fields, column, '\t');) columns.push_back(column);
        if (columns.size() < 11) continue;
        const bool stereo = columns[4].find("mono") == std::string::npos;
        streams.push_back({columns[0], stereo, std::stoll(columns[6]), std::stoll(columns[10])});
    }
    return streams;
}

// Decodes a stream with a channel selection (0 both, 1 first, 2 second, 3 averaged).
std::vector<int16_t> Decode(const std::string& path, int32_t channels) {
    return DecodeFile(path, [channels](EngineContext* context) { EXPECT_EQ(engine_set_channels(context, channels), 0); });
}

std::vector<int16_t> Reference(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) | static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
    }
    return samples;
}

struct Comparison {
    int worst = 0;
    double psnr = 0;
};

// Compares the decoded samples from `offset` on with the expected ones, over the samples
// both hold; an expected NaN is left out.
Comparison Compare(const std::vector<int16_t>& decoded, int64_t offset, const std::vector<double>& expected) {
    const size_t common = std::min(decoded.size() - static_cast<size_t>(offset), expected.size());
    Comparison result;
    double noise = 0;
    for (size_t i = 0; i < common; ++i) {
        if (std::isnan(expected[i])) continue;
        const double difference = decoded[i + static_cast<size_t>(offset)] - expected[i];
        result.worst = std::max(result.worst, static_cast<int>(std::ceil(std::abs(difference))));
        noise += difference * difference;
    }
    result.psnr = noise == 0 ? 200.0 : 10 * std::log10(32767.0 * 32767.0 / (noise / static_cast<double>(common)));
    return result;
}

std::string Path(const Stream& stream, const char* extension) {
    return std::string(CONFORMANCE_DIR) + "/" + stream.name + extension;
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
    const std::vector<int16_t> decoded = Decode(Path(stream, ".bit"), 0);
    const std::vector<int16_t> reference = Reference(Path(stream, ".pcm"));
    ASSERT_EQ(static_cast<int64_t>(decoded.size()), stream.decoded);
    const Comparison result = Compare(decoded, stream.offset, std::vector<double>(reference.begin(), reference.end()));
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
    const std::vector<int16_t> reference = Reference(Path(stream, ".pcm"));
    std::vector<double> expected[3];
    for (size_t i = 0; i + 1 < reference.size(); i += 2) {
        expected[0].push_back(reference[i]);
        expected[1].push_back(reference[i + 1]);
        const bool clipped = std::abs(reference[i]) >= 32767 || std::abs(reference[i + 1]) >= 32767;
        expected[2].push_back(clipped ? std::nan("") : (reference[i] + reference[i + 1]) / 2.0);
    }
    for (int selection = 1; selection <= 3; ++selection) {
        const std::vector<int16_t> decoded = Decode(Path(stream, ".bit"), selection);
        ASSERT_EQ(static_cast<int64_t>(decoded.size()), stream.decoded / 2) << "selection " << selection;
        const Comparison result = Compare(decoded, stream.offset / 2, expected[selection - 1]);
        EXPECT_LE(result.worst, selection == 3 ? 2 : 1) << "selection " << selection;
        EXPECT_GE(result.psnr, 96.0) << "selection " << selection;
    }
}

std::vector<Stream> StereoStreams() {
    std::vector<Stream> streams = Streams();
    std::erase_if(streams, [](const Stream& stream) { return !stream.stereo; });
    return streams;
}

INSTANTIATE_TEST_SUITE_P(Streams, ConformanceTest, ::testing::ValuesIn(Streams()), TestName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ConformanceTest);
INSTANTIATE_TEST_SUITE_P(Streams, ChannelSelectionTest, ::testing::ValuesIn(StereoStreams()), TestName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ChannelSelectionTest);

TEST(ConformanceFolderTest, HoldsEveryLayer) {
    if (!std::filesystem::exists(CONFORMANCE_DIR)) GTEST_SKIP() << "no conformance streams at " << CONFORMANCE_DIR;
    EXPECT_EQ(Streams().size(), 33u);
    EXPECT_EQ(StereoStreams().size(), 19u);
}

}  // namespace
