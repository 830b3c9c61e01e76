// The game without a window or sound, at virtual time: a frame every 120 ms, the clock
// as the main loop would tick it, keys from a replay.
#pragma once

#include <ostream>
#include <string>

struct HeadlessOptions {
    int cave = 0;            // a built-in cave, or
    std::string caveFile;    // a cave of one's own
    std::string replay;      // empty: no keys
    int frames = -1;         // -1: up to the replay's last frame, plus one
    bool printGrid = false;
};

// Runs the game and prints its outcome line; returns the exit status (2 for a fault in
// the cave file or the replay, with a one-line message on err).
int RunHeadless(const HeadlessOptions& options, std::ostream& out, std::ostream& err);

// The grid as 25 lines of 40 characters: codes 0..9 as digits, F player, J falling
// jewel, B falling boulder, E explosion, D open exit.
void PrintGrid(std::ostream& out);
