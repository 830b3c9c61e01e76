// The game without a window or sound, at virtual time: a frame every 120 ms, the clock
// as the main loop would tick it, keys from a replay.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "play/caves.h"
#include "shell/replay.h"

struct HeadlessOptions {
    int cave = 0;            // a built-in cave, or
    std::string caveFile;    // a cave of one's own
    std::string replay;      // empty: no keys
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

// The pieces of a headless run, for tools that drive the game themselves. The virtual
// clock lives in Game.LastFrameTick, so a copy of Game is a complete snapshot.

// Starts a new game at virtual time 0 at `cave` (or at the cave given to UseCustomCave).
void StartHeadlessGame(int16_t cave);

// Draws the next frame, 120 ms of virtual time after the last one.
void DrawHeadlessFrame();

// Plays one event as the event pump would; true when it was a move into the open exit,
// which finishes the cave and starts the next at once.
bool PlayHeadlessEvent(ReplayEvent event);

void EndHeadlessGame();

// The grid as 25 lines of 40 characters: codes 0..9 as digits, F player, J falling
// jewel, B falling boulder, E explosion, D open exit.
void PrintGrid(std::ostream& out);
