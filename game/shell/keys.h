// The keyboard: the events a game is played with, what each is called in a replay and
// which key gives it, and what the keys do. Arrow keys move the player; Esc, Enter,
// Space and l command the game. A tick of the cave clock is an event of replays too.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "display/display.h"

enum class ReplayEvent { Left, Right, Up, Down, Esc, Enter, Space, Level, Tick };

std::optional<ReplayEvent> EventNamed(std::string_view name);
std::string_view NameOf(ReplayEvent event);
// The event a key from the window stands for, if the game reads that key.
std::optional<ReplayEvent> EventOfKey(const WindowEvent& key);
bool IsMove(ReplayEvent event);

// Hands a key's event to the handler of its key (not a tick: the main loop runs the clock).
void PressKey(ReplayEvent event);

void Form_KeyDown(int16_t keyCode);
void Form_KeyPress(int16_t keyAscii);

// Leaves the game for the title screen, its music back on.
void BackToTitle();

// A new game at `cave`: three lives, no points, the cave started.
void StartNewGame(int16_t cave);

// The first cave of a start level chosen on the title: levels 1, 5, .., 21 start at
// caves 1, 6, .., 26, the first normal cave after each bonus cave.
int16_t FirstCaveOfLevel(int16_t startLevel);
