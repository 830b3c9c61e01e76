#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "core/cave_file.h"
#include "core/state.h"
#include "shell/main.h"
#include "virtual_clock_screen.h"

namespace {

// Open space all round the player, who starts in the middle.
CaveDefinition OpenCave() {
    const std::string steel(40, '9'), open = "9" + std::string(38, '0') + "9\n";
    std::string text = "time 999\n" + steel + "\n";
    for (int row = 1; row < 24; ++row) text += row == 12 ? "9X" + std::string(18, '0') + "F" + open.substr(21) : open;
    std::istringstream in(text + steel + "\n");
    std::string error;
    return ParseCaveFile(in, "open", error).value();
}

// Through SDL's event path, a tap moves one cell however short it is and wherever it falls between two frames.
TEST(TapTest, ATapMovesOneCellAndAHeldKeyOnceAFrameAfterItsFirstWholeFrame) {
    struct Tap { uint32_t offset, held; int cells; };  // pressed `offset` ms after a frame, down `held` ms
    std::vector<Tap> taps;
    for (uint32_t offset : {0u, 1u, 40u, 80u, 119u})
        for (uint32_t held = 10; held <= 110; held += 10) taps.push_back({offset, held, 1});
    // Held from mid-frame through five frames: the press moves, the first whole frame not, the four after it do.
    taps.push_back({60, 5 * FramePeriod, 5});

    const CaveDefinition cave = OpenCave();
    UseCustomCave(&cave);
    Game = GameState{};
    VirtualClockScreen screen;
    // Right and left by turns, long after the player appears (some four seconds in).
    std::vector<uint32_t> presses;
    uint32_t frame = 50 * FramePeriod;
    for (const Tap& tap : taps) {
        presses.push_back(frame + tap.offset);
        screen.keys.push_back({presses.back(), presses.size() % 2 ? SDLK_RIGHT : SDLK_LEFT, tap.held});
        frame += FramePeriod * ((tap.offset + tap.held) / FramePeriod + 3);
    }
    presses.push_back(frame);
    std::vector<int> xs;  // where each tap begins
    screen.onPump = [&] {
        if (xs.size() < presses.size() && screen.now == presses[xs.size()]) xs.push_back(Game.PlayerX);
        if (xs.size() == presses.size()) Game.Running = false;
    };
    GameRun run;
    const int status = Main(run, 1);
    UseCustomCave(nullptr);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(xs.size(), taps.size() + 1);
    for (size_t i = 0; i < taps.size(); ++i)
        EXPECT_EQ(std::abs(xs[i + 1] - xs[i]), taps[i].cells)
            << "held " << taps[i].held << " ms from " << taps[i].offset << " ms after a frame";
}

}  // namespace
