// What a game frame shows: every cell of the cave, and the status line or a banner.
#pragma once

// Draws every cell with its animated picture; explosion cells whose time is up become
// empty here.
void RedrawCave();

// The status line, or the one banner that replaces it.
void DrawStatusLine();
