#include <gtest/gtest.h>

#include <SDL.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <sstream>
#include <thread>

#include "game_fixture.h"
#include "platform/assets.h"
#include "platform/sound_sdl.h"

namespace {

namespace fs = std::filesystem;

// What the code under test writes to standard error, for as long as it lives.
class CapturedErrors {
public:
    CapturedErrors() : old_(std::cerr.rdbuf(text_.rdbuf())) {}
    ~CapturedErrors() { std::cerr.rdbuf(old_); }
    CapturedErrors(const CapturedErrors&) = delete;
    CapturedErrors& operator=(const CapturedErrors&) = delete;
    std::string Text() const { return text_.str(); }

private:
    std::ostringstream text_;
    std::streambuf* old_;
};

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

// Each start-up of the sound on a fresh game, saying what goes wrong on the display.
class SoundStartTest : public GameFixture {};

TEST_F(SoundStartTest, AMissingWaveFileIsNamedInPlainWordsAndEndsStartUp) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const fs::path folder = fs::temp_directory_path() / ("kelvoro-sounds-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    for (int i = 0; i < SoundCount; ++i)
        if (static_cast<Sound>(i) != SndInfo)
            fs::copy_file(std::string(ASSETS_DIR) + SoundFiles[static_cast<size_t>(i)],
                          folder.string() + SoundFiles[static_cast<size_t>(i)], fs::copy_options::overwrite_existing);
    SdlSound sdl;
    UseSoundDevice(&sdl);
    ProgramFolder = folder.string();
    EXPECT_FALSE(InitSound());
    UseSoundDevice(nullptr);
    fs::remove_all(folder);
    // The sound card is not to blame, and the library's own wording stays out.
    ASSERT_EQ(display.log.size(), 1u);
    EXPECT_EQ(display.log[0], "Message 53/cannot load " + folder.string() + SoundFiles[SndInfo] + ": the file is missing");
}

TEST_F(SoundStartTest, ADeviceThatWillNotOpenLeavesTheGameSilentSayingWhyOnce) {
    sound.failingOpen = "no audio hardware";
    UseSoundDevice(&sound);
    CapturedErrors errors;
    EXPECT_TRUE(InitSound());
    const bool unavailable = SoundUnavailable();
    const std::string problem = SoundProblem();
    PlayLooping(SndTheme);
    PlaySound(SndStep);
    SetSoundMuted(true);
    SetSoundMuted(false);
    ReleaseSound();
    UseSoundDevice(nullptr);
    EXPECT_TRUE(unavailable);
    EXPECT_EQ(problem, "no audio hardware");
    EXPECT_EQ(errors.Text(), "kelvoro: no sound: no audio hardware\n");
    EXPECT_TRUE(display.log.empty());
    // Nothing is loaded, played or closed on a device that never opened.
    EXPECT_EQ(sound.log, std::vector<std::string>{"Open"});
    EXPECT_FALSE(SoundUnavailable());
}

TEST_F(SoundStartTest, SdlSaysWhyItsDeviceWillNotOpen) {
    setenv("SDL_AUDIODRIVER", "kelvoro-no-such-driver", 1);
    SdlSound sdl;
    UseSoundDevice(&sdl);
    std::string errors;
    {
        CapturedErrors captured;
        EXPECT_TRUE(InitSound());
        errors = captured.Text();
    }
    const std::string problem = SoundProblem();
    ReleaseSound();
    UseSoundDevice(nullptr);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_NE(problem, "");
    EXPECT_NE(problem.find("kelvoro-no-such-driver"), std::string::npos) << problem;  // SDL's own words
    EXPECT_EQ(errors, "kelvoro: no sound: " + problem + "\n");
}

class SoundMuteTest : public ::testing::Test {
protected:
    FakeSound sound;

    void SetUp() override {
        UseSoundDevice(&sound);
        ASSERT_TRUE(InitSound());
    }
    void TearDown() override {
        ReleaseSound();
        SetSoundMuted(false);
        UseSoundDevice(nullptr);
    }

    // The calls since the last look.
    std::vector<std::string> Calls() {
        std::vector<std::string> calls(sound.log.begin() + static_cast<std::ptrdiff_t>(seen_), sound.log.end());
        seen_ = sound.log.size();
        return calls;
    }

private:
    size_t seen_ = 0;
};

std::string Call(const char* name, Sound sound) { return name + std::to_string(sound); }

TEST_F(SoundMuteTest, MutingStopsEveryEffectAndSilencesPlays) {
    PlayLooping(SndTheme);
    PlaySound(SndStep);
    Calls();
    SetSoundMuted(true);
    EXPECT_TRUE(SoundMuted());
    std::vector<std::string> stops;
    for (int i = 0; i < SoundCount; ++i) stops.push_back(Call("Stop ", static_cast<Sound>(i)));
    EXPECT_EQ(Calls(), stops);
    PlaySound(SndPling);
    PlayLooping(SndInfo);
    StopSound(SndTheme);
    EXPECT_EQ(Calls(), std::vector<std::string>{});
}

TEST_F(SoundMuteTest, UnmutingRestartsTheLoopsTheGameStillWants) {
    PlayLooping(SndTheme);
    PlayLooping(SndBonus2);
    SetSoundMuted(true);
    StopSound(SndBonus2);  // the bonus cave ended while muted
    PlayLooping(SndInfo);  // and the game was paused
    PlaySound(SndStep);
    Calls();
    SetSoundMuted(false);
    EXPECT_FALSE(SoundMuted());
    EXPECT_EQ(Calls(), (std::vector<std::string>{Call("Loop ", SndInfo), Call("Loop ", SndTheme)}));
}

TEST_F(SoundMuteTest, MutedBeforeTheStartTheThemeWaitsForUnmuting) {
    ReleaseSound();
    SetSoundMuted(true);
    ASSERT_TRUE(InitSound());
    PlayLooping(SndTheme);
    const std::vector<std::string> calls = Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), Call("Load ", SndTheme));  // loaded, not played
    SetSoundMuted(false);
    EXPECT_EQ(Calls(), std::vector<std::string>{Call("Loop ", SndTheme)});
}

}  // namespace
