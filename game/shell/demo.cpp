#include "shell/demo.h"

#include <sstream>
#include <string>

#include "display/display.h"
#include "display/sound.h"
#include "play/state.h"
#include "shell/headless.h"

namespace {

constexpr Colour White = RGB(255, 255, 255);
constexpr int BannerY = 572;  // in the band below the cave view

// Plays the solution at virtual time, recording the clock ticks it gets there.
Replay WithClockTicks(int16_t cave, const Replay& solution) {
    const GameState onScreen = Game;
    DisplayDevice* display = UseDisplayDevice(nullptr);
    SoundDevice* sound = UseSoundDevice(nullptr);
    StartHeadlessGame(cave);
    Recording recording;
    PlayHeadless(solution.steps.empty() ? 0 : solution.steps.back().frame + 1, &solution, false, &recording);
    Game = onScreen;
    UseDisplayDevice(display);
    UseSoundDevice(sound);
    recording.replay.listsTicks = true;
    return recording.replay;
}

}  // namespace

std::optional<Demo> MakeDemo(int shown) {
    if (DemoSolutions.empty()) return std::nullopt;
    const DemoSolution& solution = DemoSolutions[static_cast<size_t>(shown) % DemoSolutions.size()];
    std::istringstream text(solution.replay);
    std::string error;
    const std::optional<Replay> replay = ParseReplay(text, "demo", error);
    if (!replay) return std::nullopt;
    return Demo{solution.cave, WithClockTicks(solution.cave, *replay)};
}

void DrawDemoBanner() {
    const std::string banner = "DEMO";
    DrawTextAt(banner, CenteredTextX(banner), BannerY, White);
}
