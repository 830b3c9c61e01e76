// screen-bench: what the game costs on screen. Prints the time of one full game frame
// (every cell redrawn, the status line, the flip) and the share of one processor core
// the game uses over ten seconds on the title screen and in a cave, and over the 30 idle
// seconds of title and 15 of demo that follow them. Run it with a
// display (for example under xvfb-run); SDL's dummy video driver works too.
#include <SDL.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string_view>

#include "core/state.h"
#include "platform/assets.h"
#include "platform/display.h"
#include "platform/display_sdl.h"
#include "platform/sound.h"
#include "shell/frame.h"
#include "shell/keys.h"
#include "shell/main.h"

namespace {

constexpr int MeasuredFrames = 500;
constexpr Uint32 RunMilliseconds = 10000;
// 30 idle seconds of title, then 15 of the demo it starts.
constexpr Uint32 DemoMilliseconds = 45000;

double ProcessorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void FrameTime(int cave) {
    SdlScreen screen(ScreenOptions{true});
    UseDisplayDevice(&screen);
    if (!InitDisplay() || !LoadPictures()) return;
    Game = GameState{};
    StartNewGame(static_cast<int16_t>(cave));
    Game.BirthCounter = -1;
    std::chrono::duration<double, std::micro> drawing{}, flipping{};
    for (int frame = 0; frame < MeasuredFrames; ++frame) {
        const auto start = std::chrono::steady_clock::now();
        GameFrame();
        const auto drawn = std::chrono::steady_clock::now();
        FlipScreen();
        ClearBackBuffer(MakeColour(0, 0, 0));
        drawing += drawn - start;
        flipping += std::chrono::steady_clock::now() - drawn;
    }
    std::printf("a full frame in cave %d: %.0f us to draw every cell, step the cave and write the status line, "
                "%.0f us to show it (with vertical sync)\n",
                cave, drawing.count() / MeasuredFrames, flipping.count() / MeasuredFrames);
    ReleaseDisplay();
    UseDisplayDevice(nullptr);
}

Uint32 EndRun(Uint32, void*) {
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    return 0;
}

void ProcessorShare(const char* what, int cave, Uint32 milliseconds = RunMilliseconds) {
    SdlScreen screen(ScreenOptions{true});
    UseDisplayDevice(&screen);
    Game = GameState{};
    SDL_InitSubSystem(SDL_INIT_TIMER);
    const SDL_TimerID timer = SDL_AddTimer(milliseconds, EndRun, nullptr);
    const double before = ProcessorSeconds();
    const auto start = std::chrono::steady_clock::now();
    GameRun run;
    Main(run, static_cast<int16_t>(cave));
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    const double used = ProcessorSeconds() - before;
    SDL_RemoveTimer(timer);
    std::printf("%s: %.2f s of processor time in %.1f s, %.1f %% of one core\n", what, used, wall.count(),
                100.0 * used / wall.count());
    UseDisplayDevice(nullptr);
}

}  // namespace

// "screen-bench title" measures the idle title alone.
int main(int argc, char** argv) {
    ProgramFolder = RunningProgramFolder();
    std::printf("video driver: %s\n", SDL_getenv("SDL_VIDEODRIVER") ? SDL_getenv("SDL_VIDEODRIVER") : "default");
    if (argc > 1 && std::string_view(argv[1]) == "title") {
        ProcessorShare("title screen", 0);
        return 0;
    }
    FrameTime(27);
    ProcessorShare("title screen", 0);
    ProcessorShare("cave 27", 27);
    ProcessorShare("title screen, then its demo", 0, DemoMilliseconds);
    return 0;
}
