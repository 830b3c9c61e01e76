#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "state.h"

#include "engine_fixture.h"

using namespace vortax;

namespace {

using StreamTest = EngineTest;

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
    } cases[] = {{folder.string(), VORTAX_READ_FAILED},
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

// An input of 5 GiB held nowhere: one frame over and over, through the 64-bit methods alone.
struct Endless {
    Bytes frame = Frame({});
    int64_t position = 0;
} endless;
int32_t AnyInput(const char*) { return 0; }
int32_t NewEndless(void** instance, const char*, const ModuleRecord*, EngineContext*) {
    *instance = &endless;
    return 0;
}
int32_t Nothing(void*) { return 0; }
int32_t CanSeek(void*) { return VORTAX_INPUT_CAN_SEEK; }
int64_t EndlessSize(void*) { return 5ll << 30; }
int32_t SeekEndless(void*, int64_t offset) {
    endless.position = offset;
    return 0;
}
int32_t ReadEndless(void*, void* buffer, int32_t length) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    for (int32_t i = 0; i < length; ++i) bytes[i] = endless.frame[static_cast<size_t>(endless.position++) % endless.frame.size()];
    return length;
}

TEST_F(StreamTest, PositionTimeAndSeeksReachPast4GiB) {
    const InputMethods methods{AnyInput, nullptr, NewEndless, Nothing, Nothing,  Nothing,    ReadEndless,
                               nullptr,  CanSeek, nullptr,    nullptr, SeekEndless, EndlessSize};
    ASSERT_GT(register_input_module(context, &methods), 0);
    ASSERT_EQ(output_select(context, "raw:/dev/null", -1), 0);
    ASSERT_EQ(output_open(context), 0);
    ASSERT_EQ(input_select(context, "endless", -1), 0);
    ASSERT_EQ(input_open(context), 0);
    const int64_t size = 5ll << 30;
    EXPECT_EQ(context->input.size, size);
    EXPECT_EQ(context->input.duration, size / 16000);  // 128 kbit/s
    ASSERT_EQ(input_seek_fraction(context, 0.9f), 0);
    EXPECT_EQ(endless.position, static_cast<int64_t>(0.9f * static_cast<double>(size)));
    for (int i = 0; i < 4; ++i) ASSERT_EQ(engine_decode_frame(context), 0);
    EXPECT_NEAR(context->stream.fraction, 0.9f, 1e-4);
    const TimeRecord& time = context->stream.time;
    EXPECT_NEAR(time.hours * 3600 + time.minutes * 60 + time.seconds, 0.9 * context->input.duration, 1);
}

TEST_F(StreamTest, APipeIsProbedWithoutLosingItsFirstFrame) {
    HeaderFields fields;
    fields.frequency_index = 1;  // 48 kHz, unlike the frames in the tags
    const std::string pipe = (folder / "pipe").string();
    const PipeWriter writer(pipe, Joined({Id3v2Tag(3000), Id3v2Tag(500, true), Bytes(1000, 0x33), Frames(fields, 10)}));
    ASSERT_EQ(OpenInput(pipe), 0);
    EXPECT_EQ(context->input.flags & VORTAX_INPUT_CAN_SEEK, 0);
    EXPECT_EQ(context->stream.frequency, 48000);
    FrameHeader header;
    int frames = 0;
    while (ReadNextFrame(context, context->state->reader, header) == 0) ++frames;
    EXPECT_EQ(frames, 10);
}

TEST_F(StreamTest, BitRateAndDurationLeaveOutTheTags) {
    const Bytes audio = Frames({}, 100);  // 128 kbit/s: 16000 bytes a second
    const int32_t seconds = static_cast<int32_t>(audio.size() / 16000);
    ASSERT_EQ(output_select(context, "raw:/dev/null", -1), 0);
    ASSERT_EQ(output_open(context), 0);
    ASSERT_EQ(OpenInput(Write("cover.mp3", Joined({Id3v2Tag(1 << 20), audio}))), 0);
    EXPECT_EQ(context->stream.bitrate, 128);
    EXPECT_EQ(context->input.duration, seconds);
    while (engine_decode_frame(context) == 0) {
    }
    EXPECT_EQ(context->input.duration, seconds);
}

TEST_F(StreamTest, Mpeg25IsVersionZero) {
    HeaderFields fields;
    fields.version_code = 2;
    ASSERT_EQ(Convert(Write("low.mp3", Frames(fields, 3))), VORTAX_INPUT_END);
    EXPECT_EQ(context->stream.version, 0);
    EXPECT_EQ(context->stream.frequency, 11025);
}

// A WAV file holds one format: a part in another is brought to the first one (its rate by
// resampling), and the change is told once, with the frame where it happens.
class FormatChangeTest : public LameTest {};

TEST_F(FormatChangeTest, AWavFileKeepsTheFirstFormatAndSaysWhereItChanged) {
    const std::string stereo = Lame("stereo", "-b 128", 44100, 2, 11025, 5000);
    const std::string mono = Lame("mono", "-b 48", 22050, 1, 11025, 5000);
    const size_t first = DecodeFile(stereo).size() / 2;
    const size_t monoSamples = DecodeFile(mono).size();
    const size_t second = monoSamples * 2;  // at twice the rate
    int frames = 0;
    ASSERT_EQ(Convert(Write("joined.mp3", Joined({Read(stereo), Read(mono)})), &frames), VORTAX_INPUT_END);
    const Bytes wav = Read((folder / "out.wav").string());
    ASSERT_GT(wav.size(), 44u);
    const auto u32 = [&](size_t at) { return uint32_t{wav[at]} | wav[at + 1] << 8 | wav[at + 2] << 16 | uint32_t{wav[at + 3]} << 24; };
    EXPECT_EQ(wav[22], 2);
    EXPECT_EQ(u32(24), 44100u);
    EXPECT_EQ(u32(40), wav.size() - 44);
    EXPECT_NEAR(static_cast<double>(u32(40) / 4), static_cast<double>(first + second), 2.0);
    ASSERT_EQ(notes.size(), 1u);
    const int firstMonoFrame = frames - static_cast<int>(monoSamples / 576) + 1;
    EXPECT_EQ(notes[0], "stream format changed: from frame " + std::to_string(firstMonoFrame) +
                            " on: 22050 Hz mono, converted to 44100 Hz stereo");
}

}  // namespace
