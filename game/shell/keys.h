// The keyboard: arrow keys move the player; Esc, Enter, Space and l command the game.
#pragma once

#include <cstdint>

// Virtual-key codes of the arrow keys.
constexpr int16_t KeyLeft = 37;
constexpr int16_t KeyUp = 38;
constexpr int16_t KeyRight = 39;
constexpr int16_t KeyDown = 40;

// Character codes of the command keys.
constexpr int16_t KeyEscape = 27;
constexpr int16_t KeyEnter = 13;
constexpr int16_t KeySpace = 32;
constexpr int16_t KeyLevel = 108;  // lower-case l only

void Form_KeyDown(int16_t keyCode);
void Form_KeyPress(int16_t keyAscii);

// A key event from the window: noted for a recording, then handled.
void KeyDownEvent(int16_t keyCode);
void KeyPressEvent(int16_t keyAscii);

// A new game at `cave`: three lives, no points, the cave started.
void StartNewGame(int16_t cave);

// The first cave of a start level chosen on the title: levels 1, 5, .., 21 start at
// caves 1, 6, .., 26, the first normal cave after each bonus cave.
int16_t FirstCaveOfLevel(int16_t startLevel);
