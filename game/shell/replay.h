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

enum class ReplayEvent { Left, Right, Up, Down, Esc, Enter, Space, Level, Tick };

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

// Feeds one event to the key handlers (or the clock) as the event pump would.
void PlayReplayEvent(ReplayEvent event);

// The event a key-down code (arrows) or a key-press code (Esc, Enter, Space, l) stands for.
std::optional<ReplayEvent> EventOfKeyDown(int16_t keyCode);
std::optional<ReplayEvent> EventOfKeyPress(int16_t keyAscii);

// Recording the game played on screen. Armed, the recording begins with the next new
// game and counts frames from there; it takes every key event and clock tick after it.
// A game in a cave file is recorded as one, to be played again with that file.
void ArmRecording(const std::string& caveFile);
void NoteNewGame();
void NoteFrame();
void NoteEvent(ReplayEvent event);
// Writes the recording as a replay whose header says how to play it again: from the
// first cave of the recorded game, or with the cave file.
bool SaveRecording(const std::string& path, std::string& error);
int16_t RecordedCave();

// Playing a replay on screen, in real time, from the next new game on.
void PlayOnScreen(Replay replay);
// Plays the events of the frame drawn last; called after each event pump.
void PlayDueReplayEvents();
// True while a replay that lists clock ticks is played: the clock ticks only there.
bool ClockFollowsReplay();
