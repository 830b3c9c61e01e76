// The keyboard and the game controllers: the events a game is played with, what each is
// called in replays and in keys.conf, which keys and buttons give it, and what the keys
// do. The arrow keys (or WASD, or the keypad's 8 4 6 2) move the player; Esc, Enter, Space
// and l command the game. A tick of the cave clock is an event of replays too. m (the
// sound), h (the table of scores) and F1 (the keys) are no part of a game: replays never
// list them.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/display.h"

enum class ReplayEvent { Left, Right, Up, Down, Esc, Enter, Space, Level, Tick, Mute, Scores, Help };

// The event of a replay line; nothing for a name that no replay lists.
std::optional<ReplayEvent> EventNamed(std::string_view name);
std::string_view NameOf(ReplayEvent event);
// The event a key or button going down stands for, if it stands for one. Caps Lock counts
// for nothing; a letter pressed with Shift types its capital, which commands nothing
// (Shift+L leaves the start level alone) but still moves.
std::optional<ReplayEvent> EventOfKey(const WindowEvent& key);
bool IsMove(ReplayEvent event);
bool IsPartOfGame(ReplayEvent event);

// keys.conf: one action a line, "<action> = <key>, <key>, ..", where the actions are the
// events of replays but tick, and mute, scores and help, and the keys are SDL's names of
// keys in any case ("a", "Left", "Keypad 4", "Return"); '#' starts a comment to the end of
// the line. A line gives its action these keys instead of its own, and takes them from
// the actions they had by default. Returns the faults, "file:line:column: what", of the
// lines it leaves out; the other lines are used.
using KeyNamer = std::function<std::string(const std::string& name)>;  // SDL's own name, "" for no key
std::vector<std::string> UseKeysFile(const std::string& text, const std::string& path, const KeyNamer& keyName);
void UseDefaultKeys();
// $XDG_CONFIG_HOME/kelvoro/keys.conf, by default ~/.config/kelvoro/keys.conf; empty
// without an absolute home.
std::string KeysFilePath();

// Hands an event of a game to the handler of its key (not a tick: the main loop runs the
// clock).
void PressKey(ReplayEvent event);

// A move key: the player steps that way once he is born, alive and not paused.
void MoveKey(Key key);
// A command key: Esc, Enter, Space or l, each doing what it does on the title or in a game.
void CommandKey(Key key);

// Leaves the game for the title screen, its music back on.
void BackToTitle();

// A new game at `cave`: three lives, no points, the cave started.
void StartNewGame(int16_t cave);

// The first cave of a start level chosen on the title: levels 1, 5, .., 21 start at
// caves 1, 6, .., 26, the first normal cave after each bonus cave.
int16_t FirstCaveOfLevel(int16_t startLevel);
