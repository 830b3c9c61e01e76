#include <gtest/gtest.h>

#include <SDL.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/state.h"
#include "shell/headless.h"
#include "shell/main.h"
#include "shell/replay.h"
#include "virtual_clock_screen.h"

namespace {

namespace fs = std::filesystem;

std::string Grid() {
    std::ostringstream grid;
    PrintGrid(grid);
    return grid.str();
}

// What the recording's header says to play it again with.
HeadlessOptions OptionsNamedIn(const std::string& path) {
    std::ifstream in(path);
    HeadlessOptions options;
    for (std::string word; in >> word;) {
        if (word == "--cave") in >> options.cave;
        if (word == "--start-level") in >> options.startLevel;
        if (word == "--replay") in >> options.replay;
    }
    return options;
}

// A session on screen begun at a cave (0: on the title), ended with Esc on the title.
struct Session { const char* name; int16_t startCave; std::vector<TimedKey> keys; };
void PrintTo(const Session& session, std::ostream* out) { *out << session.name; }

class RecordingTest : public ::testing::TestWithParam<Session> {};

// Keys pressed at uneven moments on screen are recorded with their frames and clock
// ticks; played again without a screen, as its header says, they lead to the very same
// cave: one game from its first frame on, or two begun on the title at start levels chosen
// there, one before the recording began.
TEST_P(RecordingTest, ASessionPlayedOnScreenReplaysHeadlessToTheSameCave) {
    const fs::path folder = fs::temp_directory_path() / ("kelvoro-recording-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string path = (folder / "game.replay").string();
    Game = GameState{};
    VirtualClockScreen screen;
    screen.keys = GetParam().keys;
    const uint32_t end = GetParam().keys.back().at + 2000;
    screen.onPump = [&] { if (screen.now > end) Game.Running = false; };
    Recording recording;
    GameRun run;
    run.recording = &recording;
    const int status = Main(run, GetParam().startCave);
    ASSERT_EQ(status, 0);
    ASSERT_LE(screen.now, end) << "Esc on the title did not end the session";
    const std::string onScreen = Grid();
    std::string error;
    ASSERT_TRUE(SaveRecording(recording, path, error)) << error;

    HeadlessOptions options = OptionsNamedIn(path);
    ASSERT_EQ(options.replay, path);
    options.printGrid = true;
    std::ostringstream out, err;
    ASSERT_EQ(RunHeadless(options, out, err), 0) << err.str();
    EXPECT_EQ(out.str().substr(0, onScreen.size()), onScreen);
    EXPECT_NE(onScreen, std::string());
    fs::remove_all(folder);
}

// The player appears about four seconds into a cave; keys before that are recorded too.
INSTANTIATE_TEST_SUITE_P(
    Sessions, RecordingTest,
    ::testing::Values(
        Session{"OneGame", 1,
                {{700, SDLK_DOWN, 50}, {4300, SDLK_DOWN, 30}, {4390, SDLK_DOWN, 90}, {4610, SDLK_RIGHT, 20},
                 {4650, SDLK_RIGHT, 400}, {5230, SDLK_LEFT, 60}, {5300, SDLK_DOWN, 110}, {5710, SDLK_RIGHT, 10},
                 {6050, SDLK_RIGHT, 70}, {6400, SDLK_DOWN, 250}, {6800, SDLK_RIGHT, 40}, {7100, SDLK_ESCAPE, 50},
                 {7400, SDLK_ESCAPE, 50}}},
        Session{"TwoGamesFromTheTitle", 0,
                {{300, SDLK_l, 50}, {710, SDLK_RETURN, 40}, {4550, SDLK_RIGHT, 50}, {4830, SDLK_DOWN, 300},
                 {5390, SDLK_LEFT, 30}, {5900, SDLK_ESCAPE, 60}, {6330, SDLK_l, 40}, {6770, SDLK_RETURN, 50},
                 {10610, SDLK_DOWN, 70}, {10890, SDLK_RIGHT, 350}, {11530, SDLK_UP, 20}, {12010, SDLK_ESCAPE, 50},
                 {12400, SDLK_ESCAPE, 50}}}),
    [](const ::testing::TestParamInfo<Session>& info) { return std::string(info.param.name); });

}  // namespace
