// Gapless decoding of streams made by an encoder that writes its delay and padding into
// the first frame: the output has exactly the length of the audio that was encoded.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "engine_fixture.h"

namespace {

// Where the loudest sample of the first channel stands.
int Peak(const std::vector<int16_t>& samples, int channels) {
    size_t best = 0;
    for (size_t i = 0; i < samples.size(); i += static_cast<size_t>(channels))
        if (std::abs(samples[i]) > std::abs(samples[best])) best = i;
    return static_cast<int>(best) / channels;
}

void Gapless(EngineContext* context) { engine_set_gapless(context, 1); }

// Where the encoder's extension starts: its name, "LAME" in what lame writes.
size_t Extension(const Bytes& stream) {
    const char name[] = "LAME";
    return static_cast<size_t>(std::search(stream.begin(), stream.end(), name, name + 4) - stream.begin());
}

using GaplessTest = LameTest;

TEST_F(GaplessTest, StreamsDecodeToTheirEncodedLengthWithTheClickInPlace) {
    const struct {
        const char* name;
        const char* options;
        int rate, channels, length, click;
    } streams[] = {
        {"cbr-stereo", "-b 128", 44100, 2, 44101, 20001},
        {"vbr-stereo", "-V 2", 44100, 2, 30011, 777},
        {"cbr-mono", "-b 96 -m m", 44100, 1, 12345, 6789},
        {"mpeg2-mono", "-b 64 -m m", 22050, 1, 9999, 5000},
        {"padding-past-a-frame", "-b 64 -m m", 22050, 1, 11525, 5000},  // 618 samples of it at the end
        {"free-format", "--freeformat -b 400", 44100, 2, 20000, 3000},
    };
    for (const auto& s : streams) {
        SCOPED_TRACE(s.name);
        const std::string mp3 = Lame(s.name, s.options, s.rate, s.channels, s.length, s.click);
        const std::vector<int16_t> decoded = DecodeFile(mp3, Gapless);
        EXPECT_EQ(static_cast<int>(decoded.size()) / s.channels, s.length);
        EXPECT_NEAR(Peak(decoded, s.channels), s.click, 1);
    }
}

TEST_F(GaplessTest, WithoutTheOptionOnlyTheTagFrameIsLeftOut) {
    const std::string mp3 = Lame("plain", "-b 128", 44100, 2, 20000, 10000);
    const std::vector<int16_t> whole = DecodeFile(mp3);
    const std::vector<int16_t> exact = DecodeFile(mp3, Gapless);
    ASSERT_EQ(OpenInput(mp3), 0);
    int32_t delay = 0;
    int32_t padding = 0;
    ASSERT_EQ(engine_get_encoder_tag(context, &delay, &padding), 0);
    // Every audio frame, and nothing of the tag frame: 417 or 418 bytes a frame.
    EXPECT_EQ(whole.size(), (Read(mp3).size() / 417 - 1) * 1152 * 2);
    // The exact output is the whole one less the delays and the padding.
    const size_t start = static_cast<size_t>(delay + 529) * 2;
    ASSERT_EQ(exact.size(), whole.size() - start - static_cast<size_t>(padding - 529) * 2);
    EXPECT_TRUE(std::equal(exact.begin(), exact.end(), whole.begin() + static_cast<long>(start)));
}

TEST_F(GaplessTest, ATagFrameWithoutABelievableExtensionIsStillNoAudio) {
    const std::string mp3 = Lame("damaged", "-b 128", 44100, 2, 20000, 10000);
    Bytes stream = Read(mp3);
    stream[Extension(stream) + 2] ^= 0x40;  // the encoder's name: the checksum no longer holds
    const std::string damaged = Write("damaged-tag.mp3", stream);
    ASSERT_EQ(OpenInput(damaged), 0);
    int32_t delay = 0;
    int32_t padding = 0;
    EXPECT_EQ(engine_get_encoder_tag(context, &delay, &padding), VORTAX_NO_SUCH_VARIABLE);
    const std::vector<int16_t> whole = DecodeFile(damaged);
    EXPECT_EQ(DecodeFile(damaged, Gapless), whole);
    EXPECT_EQ(whole.size(), DecodeFile(mp3).size());
    // A stream without any tag is not touched either.
    const Bytes untagged(stream.begin() + 417, stream.end());
    const std::string plain = Write("untagged.mp3", untagged);
    EXPECT_EQ(DecodeFile(plain, Gapless).size(), whole.size());
}

// FFmpeg writes LAME's extension under its own name, with a checksum of its own.
TEST_F(GaplessTest, AnExtensionPlainlyAnEncodersIsBelievedWhateverItsChecksum) {
    const struct {
        const char* name;
        const char* options;
        int rate, channels;
    } streams[] = {{"stereo", "-b 128", 44100, 2}, {"mpeg2-mono", "-b 64 -m m", 22050, 1}};
    for (const auto& s : streams) {
        SCOPED_TRACE(s.name);
        Bytes stream = Read(Lame(s.name, s.options, s.rate, s.channels, 15000, 7000));
        const size_t at = Extension(stream);
        ASSERT_LT(at, 417u);
        std::memcpy(&stream[at], "Lavc59.37", 9);
        stream[at + 34] ^= 0xFF;  // the checksum
        const std::string ffmpeg = Write(std::string(s.name) + "-lavc.mp3", stream);
        const std::vector<int16_t> exact = DecodeFile(ffmpeg, Gapless);
        EXPECT_EQ(static_cast<int>(exact.size()) / s.channels, 15000);
        EXPECT_NEAR(Peak(exact, s.channels), 7000, 1);
        // A delay no encoder adds is not believed.
        stream[at + 21] = 0xFF;
        EXPECT_EQ(DecodeFile(Write(std::string(s.name) + "-insane.mp3", stream), Gapless).size(), DecodeFile(ffmpeg).size());
    }
}

// mpg123 trims a joined stream by its first file's tag alone; so does the engine, and it
// leaves out the second file's tag frame as well.
TEST_F(GaplessTest, JoinedFilesGiveBothFilesTrimmedByTheFirstOnesTag) {
    const std::string first = Lame("first", "-b 128", 44100, 2, 20000, 10000);
    const std::string second = Lame("second", "-V 4", 44100, 2, 15000, 3000);
    const Bytes id3v1 = Joined({{'T', 'A', 'G'}, Bytes(125, 0xFF)});
    const Bytes ape = Joined({{'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X', 0xD0, 0x07, 0, 0, 32, 0, 0, 0}, Bytes(16, 0)});
    const std::string joined =
        Write("joined.mp3", Joined({Id3v2Tag(600), Read(first), id3v1, Id3v2Tag(300, true), Read(second), ape}));
    ASSERT_EQ(OpenInput(first), 0);
    int32_t delay = 0;
    int32_t padding = 0;
    ASSERT_EQ(engine_get_encoder_tag(context, &delay, &padding), 0);
    const size_t whole = DecodeFile(first).size() + DecodeFile(second).size();
    EXPECT_EQ(DecodeFile(joined).size(), whole);
    EXPECT_EQ(DecodeFile(joined, Gapless).size(), whole - static_cast<size_t>(delay + padding) * 2);
}

TEST_F(GaplessTest, APipeWithTagsAndJunkBeforeTheFirstFrameDecodesExactly) {
    const std::string mp3 = Lame("piped", "-V 2", 44100, 2, 25000, 12000);
    const std::string pipe = (folder / "pipe").string();
    const PipeWriter writer(pipe, Joined({Id3v2Tag(5000), Id3v2Tag(70000), Bytes(3000, 0x55), Read(mp3)}));
    const std::vector<int16_t> decoded = DecodeFile(pipe, Gapless);
    EXPECT_EQ(decoded.size(), 25000u * 2);
    EXPECT_NEAR(Peak(decoded, 2), 12000, 1);
}

}  // namespace
