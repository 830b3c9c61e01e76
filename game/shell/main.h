// Start-up, the main loop with its frame and clock pacing, and shut-down.
#pragma once

#include <cstdint>

constexpr uint32_t FramePeriod = 120;   // milliseconds between two frames
constexpr uint32_t ClockPeriod = 1000;  // milliseconds between two ticks of the cave clock

// Runs the whole program on the installed display and sound devices; returns the
// process's exit status. With a start cave the game begins there at once instead of
// waiting on the title screen.
int Main(int16_t startCave = 0);

// Draws a frame every 120 ms and ticks the cave clock every 1000 ms while Running.
// Returns false after a run-time error, whose message it has shown.
bool MainLoop();

// Draws one frame, the game's or the title's, shows it and clears the back buffer.
void DrawFrame();

// Ticks the cave clock when 1000 ms have passed since its last tick and it may run.
void TickClockIfDue();

// Ticks the cave clock now if it may run (a tick listed in a replay).
void TickClockIfAllowed();

// The orderly end: music off, pointer back, a black screen, sound and display released.
void ShutDown();
