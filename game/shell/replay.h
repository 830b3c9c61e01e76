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

// The event a key-down code (arrows) or a key-press code (Esc, Enter, Space, l) stands for.
std::optional<ReplayEvent> EventOfKeyDown(int16_t keyCode);
std::optional<ReplayEvent> EventOfKeyPress(int16_t keyAscii);

// Recording the game played on screen. Armed, the recording begins with the next new
// game and counts frames from there; it takes every key event and clock tick after it.
void ArmRecording();
void NoteNewGame();
void NoteFrame();
void NoteEvent(ReplayEvent event);
// Writes the recording as a replay of `cave` (the first cave of the recorded game).
bool SaveRecording(const std::string& path, std::string& error);
int16_t RecordedCave();

// Playing a replay on screen, in real time, from the next new game on.
void PlayOnScreen(Replay replay);
// Plays the events of the frame drawn last; called after each event pump.
void PlayDueReplayEvents();
// True while a replay that lists clock ticks is played: the clock ticks only there.
bool ClockFollowsReplay();
