// What a game frame shows: every cell of the cave, and the status line or a banner.
#pragma once

#include <string>

// Draws every cell with its animated picture; explosion cells whose time is up become
// empty here.
void RedrawCave();

// The status line, or the one banner that replaces it; below the cave, what the player
// can do next: the keys while paused, Enter after a death, the final score at game over.
void DrawStatusLine();

// A number with leading zeros to `digits` digits, as the status line and the title show
// scores.
std::string Padded(long value, int digits);
// 1st, 2nd, 3rd, 4th..: a place in the table of scores.
std::string Ordinal(int place);
