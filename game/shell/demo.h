// The title's demo: after 30 seconds on the title without a key, the game plays one of its
// stored cave solutions, a different one each time, until a key or button is pressed.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "shell/replay.h"

// A stored solution: the cave and its replay, made part of the program at build time.
struct DemoSolution {
    int16_t cave;
    const char* replay;
};
extern const std::span<const DemoSolution> DemoSolutions;

constexpr int DemoIdleFrames = 250;  // 30 seconds of title frames
// Frames the demo goes on after its last key, to show the cave left behind.
constexpr int DemoTailFrames = 25;

// The clock follows the solution's frames while it plays (shell/main.cpp), so the demo on
// screen goes exactly as the solution does headless.
struct Demo {
    int16_t cave;
    Replay replay;
};

// The demo after `shown` others; nothing when there is no solution to show.
std::optional<Demo> MakeDemo(int shown);

void DrawDemoBanner();
