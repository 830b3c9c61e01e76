// The game without a window or sound: the main loop at virtual time, keys from a replay.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "core/caves.h"
#include "shell/main.h"
#include "shell/replay.h"

struct HeadlessOptions {
    int cave = 0;            // a built-in cave, or
    std::string caveFile;    // a cave of one's own
    std::string replay;      // empty: no keys
    int startLevel = 1;      // of the title, for a new game after Esc
    int frames = -1;         // -1: up to the replay's last frame, plus one
    bool printGrid = false;
    bool continueGame = false;  // go on into the following caves, with a line for each exit
};

// The cave file and the replay a run names, read and checked before anything is played.
struct RunInputs {
    std::optional<CaveDefinition> cave;  // from the cave file, if one is named
    std::optional<Replay> replay;
};

// On a fault returns nothing and sets `error` to a one-line message naming the file.
std::optional<RunInputs> ReadRunInputs(const HeadlessOptions& options, std::string& error);

// Runs the game and prints its outcome line; returns the exit status (2 for a fault in
// the cave file or the replay, with a one-line message on err).
int RunHeadless(const HeadlessOptions& options, std::ostream& out, std::ostream& err);

// A new game at `cave` (or at the cave given to UseCustomCave) at virtual time 0, with
// no screen or sound: how headless runs, and tools that drive the game, begin.
void StartHeadlessGame(int16_t cave, int16_t startLevel = 1);

// Runs the game in Game on at virtual time for `frames` frames (0: only what is due at
// once), with the replay's events, into the recording if one is given; returns the run
// with what came of it.
GameRun PlayHeadless(int frames, const Replay* replay = nullptr, bool stopAtExit = false,
                     Recording* recording = nullptr);

// The grid as 25 lines of 40 characters: codes 0..9 as digits, F player, J falling
// jewel, B falling boulder, E explosion, D open exit.
void PrintGrid(std::ostream& out);
