#include <gtest/gtest.h>

#include <SDL.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "display/pictures.h"
#include "display/sound_sdl.h"
#include "fake_devices.h"

namespace {

namespace fs = std::filesystem;

void Wait(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

// The length of an effect as the mixer holds it, in bytes.
uint32_t ChunkBytes(Sound sound) {
    Mix_Chunk* chunk = Mix_LoadWAV((std::string(ASSETS_DIR) + SoundFiles[sound]).c_str());
    const uint32_t bytes = chunk ? chunk->alen : 0;
    Mix_FreeChunk(chunk);
    return bytes;
}

class SoundTest : public ::testing::Test {
protected:
    SdlSound sound;

    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        sound.Open();
        for (int i = 0; i < SoundCount; ++i)
            sound.Load(static_cast<Sound>(i), std::string(ASSETS_DIR) + SoundFiles[static_cast<size_t>(i)]);
    }
};

TEST_F(SoundTest, AStoppedEffectGoesOnFromWhereItStopped) {
    sound.Play(SndInfo, true);
    Wait(300);
    sound.Stop(SndInfo);
    Wait(50);  // let the mixer finish the buffer in hand
    const uint32_t stoppedAt = sound.Position(SndInfo);
    EXPECT_GT(stoppedAt, 0u);
    EXPECT_FALSE(sound.Playing(SndInfo));
    Wait(300);
    EXPECT_EQ(sound.Position(SndInfo), stoppedAt);
    sound.Play(SndInfo, true);
    Wait(300);
    EXPECT_TRUE(sound.Playing(SndInfo));
    EXPECT_GT(sound.Position(SndInfo), stoppedAt);
}

TEST_F(SoundTest, LoopingEffectsLoopAndOthersEnd) {
    const uint32_t bytes = ChunkBytes(SndStep);
    ASSERT_GT(bytes, 0u);
    // 22050 frames a second, two channels of two bytes.
    const int lengthMs = static_cast<int>(bytes / 4 * 1000 / 22050);
    sound.Play(SndStep, true);
    Wait(3 * lengthMs + 200);
    EXPECT_TRUE(sound.Playing(SndStep));
    sound.Stop(SndStep);

    sound.Play(SndTime, false);
    Wait(static_cast<int>(ChunkBytes(SndTime) / 4 * 1000 / 22050) + 300);
    EXPECT_FALSE(sound.Playing(SndTime));
    // Played to its end, it plays again from the start.
    sound.Play(SndTime, false);
    EXPECT_TRUE(sound.Playing(SndTime));
}

TEST(SoundStartTest, AMissingWaveFileIsNamedInPlainWordsAndEndsStartUp) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const fs::path folder = fs::temp_directory_path() / ("kelvoro-sounds-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    for (int i = 0; i < SoundCount; ++i)
        if (static_cast<Sound>(i) != SndInfo)
            fs::copy_file(std::string(ASSETS_DIR) + SoundFiles[static_cast<size_t>(i)],
                          folder.string() + SoundFiles[static_cast<size_t>(i)], fs::copy_options::overwrite_existing);
    FakeDisplay display;
    SdlSound sound;
    UseDisplayDevice(&display);
    UseSoundDevice(&sound);
    ProgramFolder = folder.string();
    EXPECT_FALSE(InitSound());
    UseSoundDevice(nullptr);
    UseDisplayDevice(nullptr);
    fs::remove_all(folder);
    // The sound card is not to blame, and the library's own wording stays out.
    ASSERT_EQ(display.log.size(), 1u);
    EXPECT_EQ(display.log[0], "Message 53/cannot load " + folder.string() + SoundFiles[SndInfo] + ": the file is missing");
}

}  // namespace
