// Replays: the keys of a game, frame by frame.
//
//   # comment
//   <frame> <event>      frame: frames drawn before the event (0: right after the cave start)
//
// Events: left right up down (arrow keys), esc enter space l (command keys), tick (a
// tick of the cave clock). Frame numbers never decrease.
#pragma once

#include <climits>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "shell/keys.h"

struct ReplayStep {
    int frame;
    ReplayEvent event;
};

struct Replay {
    std::vector<ReplayStep> steps;
    bool listsTicks = false;  // then the clock ticks only where the replay says
};

// A run counts its frames in an int; it lasts up to its replay's last frame plus one.
constexpr int MostFrames = INT_MAX;
constexpr int LastReplayFrame = MostFrames - 1;

// On a fault returns nothing and sets `error` to a one-line message naming the line and
// column.
std::optional<Replay> ParseReplay(std::istream& in, const std::string& name, std::string& error);

// A game played on screen, written down as a replay: its first cave, the cave file it was
// played in (if any), the start level the title had chosen for the games after it, and
// every key event and clock tick from its start.
struct Recording {
    std::string caveFile;
    int16_t cave = 0;
    int16_t startLevel = 1;
    Replay replay;
};

// Writes the recording as a replay whose header says how to play it again: from the
// first cave of the recorded game, or with the cave file, and with its start level.
bool SaveRecording(const Recording& recording, const std::string& path, std::string& error);
