#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <string>

#include "engine_fixture.h"
#include "state.h"

using namespace vortax;

namespace {

using ContextTest = EngineTest;

TEST(EngineLifeTest, ANewContextStartsEmptyAndSaysItsVersion) {
    EngineContext* context = nullptr;
    ASSERT_EQ(engine_create(&context), 0);
    EXPECT_STREQ(context->name, "VORTAX");
    EXPECT_EQ(context->output.caps, VORTAX_CAPS_DEFAULT);
    EXPECT_EQ(context->pcm.stereo, -1);
    EXPECT_EQ(context->input_modules + context->output_modules, 0);
    EXPECT_EQ(engine_destroy(context), 0);
    const char* major = nullptr;
    const char* patch = nullptr;
    // The library says the version its header says.
    const std::string version = std::to_string(VORTAX_VERSION_MAJOR) + "." + std::to_string(VORTAX_VERSION_MINOR) +
                                "." + std::to_string(VORTAX_VERSION_PATCH);
    EXPECT_EQ(engine_get_version(&major, nullptr, &patch), version);
    EXPECT_EQ(major, std::to_string(VORTAX_VERSION_MAJOR));
    EXPECT_EQ(patch, std::to_string(VORTAX_VERSION_PATCH));
    EXPECT_EQ(engine_create(nullptr), VORTAX_INVALID_PARAMETERS);
}

TEST_F(ContextTest, EachSideChecksItsStateAndSaysWhatIsWrong) {
    EXPECT_EQ(engine_decode_frame(context), VORTAX_INTERNAL_ERROR);
    EXPECT_EQ(notes, std::vector<std::string>{"internal error: output not open"});
    EXPECT_EQ(input_open(context), VORTAX_INTERNAL_ERROR);
    EXPECT_EQ(notes.back(), "internal error: null input module");
    EXPECT_EQ(output_close(context), VORTAX_INTERNAL_ERROR);
    EXPECT_EQ(notes.back(), "internal error: null output module");
    const std::string path = Write("in.mp3", Frames({}, 3));
    ASSERT_EQ(OpenInput(path), 0);
    EXPECT_EQ(input_open(context), VORTAX_INTERNAL_ERROR);
    EXPECT_EQ(notes.back(), "internal error: input not closed");
    ASSERT_EQ(output_select(context, ("wav:" + (folder / "o.wav").string()).c_str(), -1), 0);
    EXPECT_EQ(output_get_control(context, nullptr, 0), VORTAX_INTERNAL_ERROR);
    EXPECT_EQ(notes.back(), "internal error: output not open");
    ASSERT_EQ(output_open(context), 0);
    EXPECT_EQ(output_get_control(context, nullptr, 0), VORTAX_INTERNAL_ERROR);
    EXPECT_EQ(notes.back(), "internal error: null control block");
    EXPECT_EQ(output_write(context, nullptr, 4, 2, 1, 44100), VORTAX_INVALID_PARAMETERS);
    EXPECT_EQ(input_close(context), 0);
    EXPECT_EQ(engine_decode_frame(context), VORTAX_INTERNAL_ERROR);
    EXPECT_EQ(notes.back(), "internal error: input not open");
    for (auto call : {input_open, input_close, output_open, output_close, engine_decode_frame})
        EXPECT_EQ(call(nullptr), VORTAX_INVALID_PARAMETERS);
}

TEST_F(ContextTest, SelectingTheSameInputAgainKeepsItsInstance) {
    const std::string path = Write("in.mp3", Frames({}, 2));
    ASSERT_EQ(input_select(context, path.c_str(), -1), 0);
    void* instance = context->input.instance;
    ASSERT_EQ(input_open(context), 0);
    ASSERT_EQ(input_select(context, path.c_str(), -1), 0);
    EXPECT_EQ(context->input.instance, instance);
    EXPECT_EQ(context->input.state, 1);
    const std::string other = Write("other.mp3", Frames({}, 2));
    ASSERT_EQ(input_select(context, other.c_str(), -1), 0);
    EXPECT_EQ(context->input.state, 0);
    EXPECT_STREQ(context->input.name, other.c_str());
}

TEST_F(ContextTest, OptionsReadBackWhatWasSet) {
    int32_t value = -1;
    ASSERT_EQ(engine_set_channels(context, 3), 0);
    ASSERT_EQ(engine_get_channels(context, &value), 0);
    EXPECT_EQ(value, 3);
    ASSERT_EQ(engine_set_reduction(context, 2), 0);
    ASSERT_EQ(engine_get_reduction(context, &value), 0);
    EXPECT_EQ(value, 2);
    EXPECT_EQ(engine_get_channels(nullptr, &value), VORTAX_INVALID_PARAMETERS);
    EXPECT_EQ(engine_set_reduction(nullptr, 1), VORTAX_INVALID_PARAMETERS);

    int8_t steps[64] = {};
    EXPECT_EQ(engine_get_equalizer(context, steps), VORTAX_NO_SUCH_VARIABLE);  // no gains yet: all zero
    for (int i = 0; i < 64; ++i) steps[i] = static_cast<int8_t>(i - 32);
    ASSERT_EQ(engine_set_equalizer(context, steps), 0);
    EXPECT_FLOAT_EQ(context->state->gains[0][0], 0.5f);          // -32 steps
    EXPECT_FLOAT_EQ(context->state->gains[0][16], 1.0f / 1.5f);  // -16 steps
    EXPECT_FLOAT_EQ(context->state->gains[1][16], 1.5f);         // +16 steps
    int8_t back[64] = {};
    ASSERT_EQ(engine_set_equalizer(context, nullptr), 0);
    EXPECT_EQ(engine_get_equalizer(context, back), VORTAX_NO_SUCH_VARIABLE);
    EXPECT_EQ(engine_get_equalizer(context, nullptr), VORTAX_INVALID_PARAMETERS);
}

TEST_F(ContextTest, EveryEqualizerStepReadsBackAsSet) {
    for (int step = -128; step <= 127; ++step) {
        int8_t steps[64];
        std::fill(std::begin(steps), std::end(steps), static_cast<int8_t>(step));
        ASSERT_EQ(engine_set_equalizer(context, steps), 0);
        int8_t back[64] = {};
        ASSERT_EQ(engine_get_equalizer(context, back), 0);
        EXPECT_TRUE(std::equal(std::begin(steps), std::end(steps), std::begin(back))) << step << " reads as " << int{back[0]};
    }
}

// A layer III stream whose first frame carries a Xing header with a frame count, and a
// byte count and a table when given.
Bytes XingStream(int version_code, uint32_t frames, bool table, uint32_t bytes = 0) {
    HeaderFields fields;
    fields.version_code = version_code;
    fields.bitrate_index = 9;
    fields.mode = MODE_SINGLE_CHANNEL;
    Bytes stream = Frames(fields, 4);
    size_t at = version_code == 1 ? 21 : 13;
    std::memcpy(&stream[at], "Xing", 4);
    stream[at + 7] = static_cast<uint8_t>(1 | (bytes ? 2 : 0) | (table ? 4 : 0));
    at += 8;
    for (const uint32_t count : {frames, bytes}) {
        for (int i = 0; count && i < 4; ++i) stream[at++] = static_cast<uint8_t>(count >> (24 - 8 * i));
    }
    for (size_t i = 0; table && i < 100; ++i) stream[at + i] = static_cast<uint8_t>(i * 2);
    return stream;
}

TEST_F(ContextTest, AXingFrameGivesTheDurationAndTheBitRateOfTheAudio) {
    // Behind a picture of a megabyte, 500000 bytes of audio in 1000 frames of 576 samples
    // at 22050 Hz: 26.1 seconds at 153 kbit/s.
    ASSERT_EQ(OpenInput(Write("vbr.mp3", Joined({Id3v2Tag(1 << 20), XingStream(0, 1000, false, 500000)}))), 0);
    EXPECT_EQ(context->input.duration, 26);
    EXPECT_EQ(context->stream.bitrate, 153);
    EXPECT_EQ(context->stream.frequency, 22050);
    EXPECT_EQ(context->stream.version, 2);
    EXPECT_EQ(context->stream.changed, 1);
    EXPECT_TRUE(context->state->vbr);
}

TEST_F(ContextTest, SeekingByFractionFollowsTheXingTable) {
    const Bytes stream = XingStream(1, 400, true);
    ASSERT_EQ(OpenInput(Write("table.mp3", stream)), 0);
    ASSERT_TRUE(context->state->hasXing);
    const float size = static_cast<float>(context->input.size);
    // Entry p holds 2p: halfway between entries 10 and 11 is 21 / 256 of the file.
    ASSERT_EQ(input_seek_fraction(context, 0.105f), 0);
    EXPECT_NEAR(context->input.position, static_cast<int32_t>(21.0f / 256.0f * size), 1);
    // The whole way: entry 99 (198) towards 256.
    ASSERT_EQ(input_seek_fraction(context, 1.0f), 0);
    EXPECT_EQ(context->input.position, static_cast<int32_t>(256.0f / 256.0f * size));
    ASSERT_EQ(input_seek_fraction(context, 0.995f), 0);
    EXPECT_NEAR(context->input.position, static_cast<int32_t>((198.0f + 58.0f * 0.5f) / 256.0f * size), 1);
}

TEST_F(ContextTest, SeekingNeedsAKnownSizeAndClampsToIt) {
    const std::string path = Write("cbr.mp3", Frames({}, 100));
    ASSERT_EQ(OpenInput(path), 0);
    ASSERT_GT(context->input.duration, 0);
    EXPECT_EQ(input_seek_bytes(context, 1 << 30), 0);
    EXPECT_EQ(context->input.position, context->input.size);
    EXPECT_FLOAT_EQ(context->stream.fraction, 1.0f);
    const TimeRecord zero{};
    EXPECT_EQ(input_seek_time(context, &zero), 0);
    EXPECT_EQ(context->input.position, 0);
}

TEST_F(ContextTest, SeekingRefusesWhatLandsNowhereAndTakesAnyTimePastTheEnd) {
    ASSERT_EQ(OpenInput(Write("table.mp3", XingStream(1, 400, true))), 0);
    const TimeRecord negative{0, -1, 0, 0};
    for (const int32_t code : {input_seek_fraction(context, NAN), input_seek_fraction(context, -0.1f), input_seek_fraction(context, 1.5f),
                               input_seek_seconds(context, NAN), input_seek_seconds(context, -5), input_seek_seconds(context, INFINITY),
                               input_seek_time(context, &negative), input_seek_bytes(context, -1)})
        EXPECT_EQ(code, VORTAX_INVALID_PARAMETERS);
    const TimeRecord late{INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX};
    EXPECT_TRUE(input_seek_time(context, &late) == 0 && context->input.position == context->input.size);
}

TEST_F(ContextTest, AFailingOutputStopsDecodingWithItsCodeAndAPartialOneLosesNothing) {
    const std::string stream = CONFORMANCE_DIR "/l2-fl10.bit";
    if (!std::filesystem::exists(stream)) GTEST_SKIP() << "no conformance stream " << stream;
    // What a write takes (or gives), what a change of format gives, the code decoding ends with.
    const int32_t outputs[][3] = {{VORTAX_WRITE_FAILED, 0, VORTAX_WRITE_FAILED}, {0, 0, VORTAX_WRITE_FAILED},
                                  {4608, VORTAX_DEVICE_BUSY, VORTAX_DEVICE_BUSY}, {1000, 0, VORTAX_INPUT_END}};
    ASSERT_GE(register_output_module(context, &MemoryOutput), 0);
    for (const auto& [take, control, expected] : outputs) {
        memory = {{}, take, control};
        ASSERT_TRUE(output_select(context, "", -1) == 0 && output_open(context) == 0 && OpenInput(stream) == 0);
        int32_t code = 0, frames = 0;
        while ((code = engine_decode_frame(context)) == 0) ++frames;
        EXPECT_TRUE(code == expected && (frames == 0) == (code != VORTAX_INPUT_END)) << take << ": " << error_name(code) << " after " << frames;
        EXPECT_TRUE(input_close(context) == 0 && output_close(context) == 0);
    }
    const std::vector<int16_t> taken = memory.kept;
    EXPECT_EQ(taken, DecodeFile(stream));
}

}  // namespace
