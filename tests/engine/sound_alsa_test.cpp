#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "sound_device.h"

using namespace vortax;

namespace {

// The real ALSA layer, with no sound card needed: ALSA's null plugin, which takes every
// sample and plays it at once, and its file plugin, which writes what it takes to a file
// before passing it to the null plugin.
class SoundDeviceAlsaTest : public EngineTest {
protected:
    int32_t module = 0;

    void SetUp() override {
        EngineTest::SetUp();
        UseDevice("null");
        module = register_output_module(context, &SoundDeviceOutputModule);
        ASSERT_EQ(module, 1);
        results.clear();
    }

    void TearDown() override {
        EngineTest::TearDown();
        ::unsetenv("VORTAX_ALSA_DEVICE");
    }

    static void UseDevice(const std::string& name) { ::setenv("VORTAX_ALSA_DEVICE", name.c_str(), 1); }

    // Device 0 writes what ALSA takes into this file (a raw or WAV file), truncated at every opening.
    std::string UseFileDevice(const char* name, const char* format) {
        const std::string path = (folder / name).string();
        UseDevice("file:FILE=" + path + ",FORMAT=" + format);
        return path;
    }

    static std::string Conformance(const char* name) { return std::string(CONFORMANCE_DIR) + "/" + name; }

    int32_t Control(int32_t mask, OutputControl record = {}) { return output_set_control(context, &record, mask); }

    // What each write through the chain returned, seen by a filter in front of the module.
    static inline std::vector<int32_t> results;

    static int32_t Watch(void* self, void*, const void* buffer, int32_t size, int32_t width, int32_t stereo,
                         int32_t frequency) {
        const int32_t result = vortax_output_write(static_cast<FilterNode*>(self), buffer, size, width, stereo, frequency);
        results.push_back(result);
        return result;
    }

    void WatchWrites() {
        OutputFilterMethods filter{};
        filter.get_name = [] { return "watch"; };
        filter.write = Watch;
        ASSERT_EQ(output_filter_add(context, &filter, 0), 1);
    }

    // Decodes the open input to the selected output; the number of frames.
    int Decode() {
        int frames = 0;
        int32_t code = 0;
        while ((code = engine_decode_frame(context)) == 0) ++frames;
        EXPECT_EQ(code, VORTAX_INPUT_END);
        return frames;
    }
};

TEST_F(SoundDeviceAlsaTest, PlaysAConformanceStreamToTheEndOnTheNullDevice) {
    const std::string path = Conformance("l3-sin1k0db.bit");
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no conformance stream at " << path;
    ModuleInfo info{};
    ASSERT_EQ(output_module_info(context, module, &info, VORTAX_MODULE_INFO_DEVICE), 0);
    EXPECT_STREQ(info.description, "default output, ALSA PCM null");

    WatchWrites();
    ASSERT_EQ(OpenInput(path), 0);
    ASSERT_EQ(output_select(context, "/dev/wave/0", -1), 0);
    ASSERT_EQ(output_open(context), 0);
    ASSERT_FALSE(notes.empty());
    EXPECT_TRUE(notes[0].rfind("cannot open mixer: ", 0) == 0 || notes[0].rfind("mixer caps: ", 0) == 0) << notes[0];
    int frames = 0;
    int32_t code = 0;
    while ((code = engine_decode_frame(context)) == 0) {
        ++frames;
        if (frames == 100) {
            ASSERT_EQ(Control(VORTAX_COMMAND_PAUSE), 0);
            ASSERT_EQ(Control(VORTAX_COMMAND_RESTART), 0);
        }
        if (frames == 200) {
            ASSERT_EQ(Control(VORTAX_COMMAND_RESET), 0);
            EXPECT_EQ(QueuedBlocks(context->output.instance), 0);
        }
    }
    EXPECT_EQ(code, VORTAX_INPUT_END);
    EXPECT_EQ(frames, 317);
    EXPECT_EQ(results, std::vector<int32_t>(317, 4608));
    ASSERT_EQ(Control(VORTAX_COMMAND_DRAIN), 0);
    EXPECT_EQ(QueuedBlocks(context->output.instance), 0);  // every block reported played
    EXPECT_EQ(output_close(context), 0);
}

TEST_F(SoundDeviceAlsaTest, ALSATakesExactlyWhatTheEngineDecoded) {
    const std::string path = Conformance("l2-fl10.bit");
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no conformance stream at " << path;
    const std::string decoded = (folder / "decoded.pcm").string();
    ASSERT_EQ(OpenInput(path), 0);
    ASSERT_EQ(output_select(context, ("raw:" + decoded).c_str(), -1), 0);
    ASSERT_EQ(output_open(context), 0);
    const int frames = Decode();
    ASSERT_EQ(output_close(context), 0);
    ASSERT_EQ(input_close(context), 0);

    const std::string played = UseFileDevice("played.raw", "raw");
    ASSERT_EQ(input_open(context), 0);
    ASSERT_EQ(output_select(context, "/dev/wave/0", -1), 0);
    ASSERT_EQ(output_open(context), 0);
    int count = 0;
    int32_t code = 0;
    while ((code = engine_decode_frame(context)) == 0) {
        if (++count == frames / 2) {
            ASSERT_EQ(Control(VORTAX_COMMAND_PAUSE), 0);
            ASSERT_EQ(Control(VORTAX_COMMAND_RESTART), 0);
        }
    }
    EXPECT_EQ(code, VORTAX_INPUT_END);
    EXPECT_EQ(count, frames);
    ASSERT_EQ(output_close(context), 0);
    const Bytes expected = Read(decoded);
    EXPECT_GT(expected.size(), 100000u);
    EXPECT_TRUE(Read(played) == expected);
}

TEST_F(SoundDeviceAlsaTest, TheVolumeScalesTheSamplesAndTheRateReopensTheDevice) {
    const std::string played = UseFileDevice("played.wav", "wav");
    WatchWrites();
    ASSERT_EQ(output_select(context, "", -1), 0);
    ASSERT_EQ(output_open(context), 0);
    const std::vector<int16_t> samples(576, 1000);
    const auto play = [&] {
        for (int i = 0; i < 3; ++i) output_write(context, samples.data(), 1152, 2, 0, 22050);
        ASSERT_EQ(Control(VORTAX_COMMAND_DRAIN), 0);  // the volume applies to what ALSA has not taken yet
    };
    OutputControl record{};
    record.frequency = 22050;
    record.stereo = 0;
    record.master_level = 80;
    record.balance = 30;
    ASSERT_EQ(Control(VORTAX_CONTROL_FREQUENCY | VORTAX_CONTROL_STEREO | VORTAX_CONTROL_MASTER_LEVEL | VORTAX_CONTROL_BALANCE, record), 0);
    play();
    ASSERT_EQ(Control(VORTAX_COMMAND_MUTE), 0);
    play();
    ASSERT_EQ(Control(VORTAX_COMMAND_UNMUTE), 0);
    play();
    EXPECT_EQ(results, std::vector<int32_t>(9, 1152));
    EXPECT_EQ(QueuedBlocks(context->output.instance), 0);
    ASSERT_EQ(output_close(context), 0);

    const Bytes wav = Read(played);
    ASSERT_EQ(wav.size(), 44u + 9 * 1152);
    EXPECT_EQ(wav[22], 1);  // channels
    EXPECT_EQ(wav[24] | (wav[25] << 8), 22050);
    std::vector<int16_t> got(9 * 576);
    std::memcpy(got.data(), wav.data() + 44, wav.size() - 44);
    // One channel takes the left volume: 52428 of 65535, so 1000 plays as 800.
    std::vector<int16_t> expected(9 * 576, 800);
    std::fill(expected.begin() + 3 * 576, expected.begin() + 6 * 576, 0);
    EXPECT_TRUE(got == expected);

    // The device plays at the stream's rate times the factor.
    ASSERT_EQ(output_open(context), 0);
    ASSERT_EQ(variable_set_pointer(context, "OUTPUT.WAVE.PLAYBACK-RATE", reinterpret_cast<void*>(uintptr_t{0x8000})), 0);
    ASSERT_EQ(output_write(context, samples.data(), 1152, 2, 1, 44100), 1152);
    ASSERT_EQ(output_close(context), 0);
    const Bytes slower = Read(played);
    ASSERT_GE(slower.size(), 44u);
    EXPECT_EQ(slower[22], 2);
    EXPECT_EQ(slower[24] | (slower[25] << 8), 22050);
}

TEST_F(SoundDeviceAlsaTest, ADeviceThatDoesNotExistGivesNoSuchDevice) {
    ModuleInfo info{};
    ASSERT_EQ(output_module_info(context, module, &info, VORTAX_MODULE_INFO_COUNT), 0);
    if (info.index > 9) GTEST_SKIP() << "every device name is taken on this machine";
    const std::string name = "/dev/wave/" + std::to_string(info.index);
    ASSERT_EQ(output_select(context, name.c_str(), -1), 0);
    EXPECT_EQ(output_open(context), VORTAX_NO_SUCH_DEVICE_NAME);
}

}  // namespace
