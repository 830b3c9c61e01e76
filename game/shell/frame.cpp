#include "shell/frame.h"

// The frame's counters, redraw, cave step and status line come with the cave rules.
void GameFrame() {}
