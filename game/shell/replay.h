// Replays: the keys of a game, frame by frame.
//
//   # comment
//   <frame> <event>      frame: frames drawn before the event (0: right after the cave start)
//
// Events: left right up down (arrow keys), esc enter space l (command keys), tick (a
// tick of the cave clock). Frame numbers never decrease.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

enum class ReplayEvent { Left, Right, Up, Down, Esc, Enter, Space, Level, Tick };

struct ReplayStep {
    int frame;
    ReplayEvent event;
};

struct Replay {
    std::vector<ReplayStep> steps;
    bool listsTicks = false;  // then the clock ticks only where the replay says
};

// On a fault returns nothing and sets `error` to a one-line message naming the line.
std::optional<Replay> ParseReplay(std::istream& in, const std::string& name, std::string& error);

// Feeds one event to the key handlers (or the clock) as the event pump would.
void PlayReplayEvent(ReplayEvent event);
