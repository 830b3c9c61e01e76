#include <gtest/gtest.h>

#include <SDL.h>

#include <filesystem>
#include <sstream>
#include <thread>

#include "display/display_sdl.h"
#include "display/pictures.h"
#include "play/state.h"
#include "shell/headless.h"
#include "shell/main.h"
#include "shell/replay.h"

namespace {

namespace fs = std::filesystem;

void PushKey(SDL_Keycode key) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.keysym.sym = key;
    SDL_PushEvent(&event);
}

std::string Grid() {
    std::ostringstream grid;
    PrintGrid(grid);
    return grid.str();
}

// Keys pressed at uneven moments on screen are recorded with their frames and clock
// ticks; played again without a screen they lead to the very same cave.
TEST(RecordingTest, AGamePlayedOnScreenReplaysHeadlessToTheSameCave) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    const fs::path folder = fs::temp_directory_path() / ("kelvoro-recording-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string path = (folder / "game.replay").string();
    constexpr int Frames = 60;

    ProgramFolder = ASSETS_DIR;
    SdlScreen screen(ScreenOptions{true});
    UseDisplayDevice(&screen);
    Recording recording;
    GameRun run;
    run.recording = &recording;
    run.frames = Frames;
    std::thread keys([] {
        // The player appears about four seconds in; keys before that are recorded too.
        const std::pair<int, SDL_Keycode> presses[] = {
            {700, SDLK_DOWN},   {4300, SDLK_DOWN}, {4390, SDLK_DOWN}, {4610, SDLK_RIGHT}, {4650, SDLK_RIGHT},
            {4980, SDLK_DOWN},  {5230, SDLK_LEFT}, {5300, SDLK_DOWN}, {5710, SDLK_RIGHT}, {5720, SDLK_RIGHT},
            {6050, SDLK_RIGHT}, {6400, SDLK_DOWN}, {6800, SDLK_RIGHT}};
        int now = 0;
        for (const auto& [at, key] : presses) {
            std::this_thread::sleep_for(std::chrono::milliseconds(at - now));
            now = at;
            PushKey(key);
        }
    });
    const int status = Main(run, 1);
    keys.join();
    UseDisplayDevice(nullptr);
    ASSERT_EQ(status, 0);
    const std::string onScreen = Grid();
    std::string error;
    ASSERT_TRUE(SaveRecording(recording, path, error)) << error;

    HeadlessOptions options;
    options.cave = recording.cave;
    options.replay = path;
    options.frames = Frames;
    options.printGrid = true;
    std::ostringstream out, err;
    ASSERT_EQ(RunHeadless(options, out, err), 0) << err.str();
    EXPECT_EQ(out.str().substr(0, onScreen.size()), onScreen);
    EXPECT_NE(onScreen, std::string());
    fs::remove_all(folder);
}

}  // namespace
