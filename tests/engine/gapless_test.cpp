// Gapless decoding of streams made by an encoder that writes its delay and padding into
// the first frame: the output has exactly the length of the audio that was encoded.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "engine_fixture.h"

namespace {

// A WAV file of silence with one click, `length` samples per channel.
void WriteClick(const std::string& path, int rate, int channels, int length, int click) {
    std::vector<int16_t> samples(static_cast<size_t>(length * channels), 0);
    for (int c = 0; c < channels; ++c) samples[static_cast<size_t>(click * channels + c)] = 24000;
    const auto data = static_cast<uint32_t>(samples.size() * 2);
    std::ofstream out(path, std::ios::binary);
    auto put = [&](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out.put(static_cast<char>(value >> (8 * i)));
    };
    out.write("RIFF", 4);
    put(36 + data, 4);
    out.write("WAVEfmt ", 8);
    put(16, 4);
    put(1, 2);
    put(static_cast<uint32_t>(channels), 2);
    put(static_cast<uint32_t>(rate), 4);
    put(static_cast<uint32_t>(rate * channels * 2), 4);
    put(static_cast<uint32_t>(channels * 2), 2);
    put(16, 2);
    out.write("data", 4);
    put(data, 4);
    out.write(reinterpret_cast<const char*>(samples.data()), data);
}

// Where the loudest sample of the first channel stands.
int Peak(const std::vector<int16_t>& samples, int channels) {
    size_t best = 0;
    for (size_t i = 0; i < samples.size(); i += static_cast<size_t>(channels))
        if (std::abs(samples[i]) > std::abs(samples[best])) best = i;
    return static_cast<int>(best) / channels;
}

void Gapless(EngineContext* context) { engine_set_gapless(context, 1); }

class GaplessTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (std::system("command -v lame >/dev/null 2>&1") != 0) GTEST_SKIP() << "lame is not installed";
    }

    // Encodes a click with lame and gives the MP3's path.
    std::string Encode(const std::string& name, const char* options, int rate, int channels, int length, int click) {
        const std::string wav = (folder / (name + ".wav")).string();
        const std::string mp3 = (folder / (name + ".mp3")).string();
        WriteClick(wav, rate, channels, length, click);
        const std::string command = std::string("lame --quiet ") + options + " '" + wav + "' '" + mp3 + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return mp3;
    }
};

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
    };
    for (const auto& s : streams) {
        SCOPED_TRACE(s.name);
        const std::string mp3 = Encode(s.name, s.options, s.rate, s.channels, s.length, s.click);
        const std::vector<int16_t> decoded = DecodeFile(mp3, Gapless);
        EXPECT_EQ(static_cast<int>(decoded.size()) / s.channels, s.length);
        EXPECT_NEAR(Peak(decoded, s.channels), s.click, 1);
    }
}

TEST_F(GaplessTest, WithoutTheOptionEveryFrameIsDecodedAsBefore) {
    const std::string mp3 = Encode("plain", "-b 128", 44100, 2, 20000, 10000);
    const std::vector<int16_t> whole = DecodeFile(mp3);
    const std::vector<int16_t> exact = DecodeFile(mp3, Gapless);
    ASSERT_EQ(OpenInput(mp3), 0);
    int32_t delay = 0;
    int32_t padding = 0;
    ASSERT_EQ(engine_get_encoder_tag(context, &delay, &padding), 0);
    EXPECT_EQ(whole.size() % (1152 * 2), 0u);
    // The exact output is the whole one less the tag frame, the delays and the padding.
    const size_t start = static_cast<size_t>(1152 + delay + 529) * 2;
    ASSERT_EQ(exact.size(), whole.size() - start - static_cast<size_t>(padding - 529) * 2);
    EXPECT_TRUE(std::equal(exact.begin(), exact.end(), whole.begin() + static_cast<long>(start)));
}

TEST_F(GaplessTest, ADamagedTagIsIgnored) {
    const std::string mp3 = Encode("damaged", "-b 128", 44100, 2, 20000, 10000);
    Bytes stream = Read(mp3);
    stream[36 + 120 + 2] ^= 0x40;  // inside the encoder's name: the checksum no longer holds
    const std::string damaged = Write("damaged-tag.mp3", stream);
    ASSERT_EQ(OpenInput(damaged), 0);
    int32_t delay = 0;
    int32_t padding = 0;
    EXPECT_EQ(engine_get_encoder_tag(context, &delay, &padding), -1);
    EXPECT_EQ(DecodeFile(damaged, Gapless), DecodeFile(damaged));
    // A stream without any tag is not touched either.
    const Bytes untagged(stream.begin() + 417, stream.end());
    const std::string plain = Write("untagged.mp3", untagged);
    EXPECT_EQ(DecodeFile(plain, Gapless).size(), DecodeFile(plain).size());
}

}  // namespace
