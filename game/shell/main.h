// Start-up, the main loop with its frame and clock pacing, and shut-down.
//
// Every run of the game goes through MainLoop: on screen in real time, headless at
// virtual time, a replay played or a game recorded, and each step of the cave solver.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shell/replay.h"

constexpr uint32_t FramePeriod = 120;   // milliseconds between two frames
constexpr uint32_t ClockPeriod = 1000;  // milliseconds between two ticks of the cave clock

// Virtual time moves a frame at a time, from Game.LastFrameTick on, so a copy of Game
// is a complete snapshot of a run at virtual time.
enum class Clock { Real, Virtual };

// A move into the open exit: where and when it was made, what the cave had come to
// before it, and the score and lives right after it.
struct CaveExit {
    int frame;
    int16_t cave;
    int16_t jewels;
    int16_t time;
    int32_t score;
    int16_t lives;
};

// A run: where its time and its events come from, what it writes down, when it ends,
// and what came of it. Replays and recordings count frames from the first frame in a
// game: at once for a run that starts in a cave, after Enter on the title otherwise.
struct GameRun {
    Clock clock = Clock::Real;
    const Replay* replay = nullptr;  // played besides the window's keys
    Recording* recording = nullptr;
    int frames = -1;                 // stop after this many frames; -1: only Esc or the window ends it
    std::string screenshot;          // the picture of the last of those frames, as a BMP file
    bool stopAtExit = false;
    bool keepScores = false;         // its games count in the table of scores (shell/scores.h)

    int drawn = 0;
    std::vector<CaveExit> exits;
};

// Runs the whole program on the installed display and sound devices; returns the
// process's exit status. With a start cave the game begins there at once instead of
// waiting on the title screen; the title shows the start level given.
int Main(GameRun& run, int16_t startCave = 0, int16_t startLevel = 1);

// Draws a frame every 120 ms and ticks the cave clock every 1000 ms while it may run,
// playing the window's keys and the replay's events in between, until the run ends.
// Returns false after a run-time error, whose message it has shown.
bool MainLoop(GameRun& run);

// The orderly end: music off, pointer back, a black screen, sound and display released.
void ShutDown();
