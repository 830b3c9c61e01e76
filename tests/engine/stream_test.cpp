#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "engine_fixture.h"

namespace {

class StreamTest : public EngineTest {
protected:
    // Converts `input` to a WAV file; the last code and the number of frames decoded.
    int32_t Convert(const std::string& input, int* frames = nullptr) {
        const std::string output = "wav:" + (folder / "out.wav").string();
        if (const int32_t code = output_select(context, output.c_str(), -1); code < 0) return code;
        if (const int32_t code = output_open(context); code < 0) return code;
        int32_t code = OpenInput(input);
        int decoded = 0;
        for (int guard = 0; code >= 0 && guard < 100000; ++guard) {
            code = engine_decode_frame(context);
            if (code == 0) ++decoded;
            if (code == VORTAX_INVALID_FRAME) code = 0;
        }
        if (frames) *frames = decoded;
        input_close(context);
        output_close(context);
        return code;
    }
};

TEST_F(StreamTest, DamagedInputEndsWithACodeNeverACrash) {
    std::mt19937 random(7);
    Bytes noise(20000);
    for (uint8_t& byte : noise) byte = static_cast<uint8_t>(random());
    Bytes cut = Frames({}, 5);
    cut.resize(cut.size() - 200);
    Bytes invalid;
    for (int index : {0, 15}) {
        HeaderFields fields;
        fields.bitrate_index = index;
        for (int i = 0; i < 3; ++i) {
            const uint32_t word = HeaderWord(fields);
            for (int b = 0; b < 4; ++b) invalid.push_back(static_cast<uint8_t>(word >> (24 - 8 * b)));
            invalid.resize(invalid.size() + 400, 0);
        }
    }
    const struct {
        std::string path;
        int32_t code;
    } cases[] = {{folder.string(), VORTAX_INPUT_END},
                 {Write("empty.mp3", {}), VORTAX_INPUT_END},
                 {Write("noise.mp3", noise), VORTAX_INPUT_END},
                 {Write("cut.mp3", cut), VORTAX_INPUT_END},
                 {Write("invalid.mp3", invalid), VORTAX_INPUT_END}};
    for (const auto& c : cases) EXPECT_EQ(Convert(c.path), c.code) << c.path;
}

TEST_F(StreamTest, EveryFrameOfACleanStreamIsDecodedAndTheStreamDescribed) {
    int frames = 0;
    HeaderFields fields;
    fields.mode = MODE_SINGLE_CHANNEL;
    fields.frequency_index = 1;
    ASSERT_EQ(Convert(Write("clean.mp3", Frames(fields, 12)), &frames), VORTAX_INPUT_END);
    EXPECT_EQ(frames, 12);
    EXPECT_EQ(context->stream.frames, 12u);
    EXPECT_EQ(context->stream.frequency, 48000);
    EXPECT_EQ(context->stream.mode, MODE_SINGLE_CHANNEL);
    EXPECT_EQ(context->stream.bitrate, 128);
    EXPECT_EQ(context->pcm.size, 1152 * 2);
    EXPECT_FLOAT_EQ(context->stream.fraction, 1.0f);
    // 44 bytes of header, 12 frames of 1152 silent samples.
    EXPECT_EQ(std::filesystem::file_size(folder / "out.wav"), 44u + 12u * 1152u * 2u);
}

// A filter that hides the size of the input and its seeking, as standard input would.
const char* Unsized() { return "unsized"; }
int32_t NoSize(void*, void*) { return 0; }

TEST_F(StreamTest, AnInputOfUnknownSizeGetsItsTimeFromTheBitRate) {
    InputFilterMethods filter{};
    filter.get_name = Unsized;
    filter.get_size = NoSize;
    filter.get_flags = NoSize;
    ASSERT_EQ(input_filter_add(context, &filter, 0), 1);
    int frames = 0;
    ASSERT_EQ(Convert(Write("pipe.mp3", Frames({}, 40)), &frames), VORTAX_INPUT_END);
    ASSERT_EQ(frames, 40);
    EXPECT_EQ(context->input.size, 0);
    EXPECT_FLOAT_EQ(context->stream.fraction, 0.0f);
    // 40 frames of 417 bytes at 128 kbit/s: a little over a second.
    const double seconds = 40.0 * 417 * 8 / 128000;
    EXPECT_EQ(context->stream.time.seconds, static_cast<int>(seconds));
    EXPECT_NEAR(context->stream.time.hundredths, (seconds - static_cast<int>(seconds)) * 100, 1.0);
}

}  // namespace
