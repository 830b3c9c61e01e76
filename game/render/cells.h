// A cave cell's picture on the screen, where the view stands now.
#pragma once

#include <cstdint>

#include "platform/assets.h"

// Draws the still picture of a cell code at cell (x, y), scrolled and clipped to the
// cave view. Codes without a picture (the explosion, anything unknown) draw nothing.
void DrawCell(int16_t x, int16_t y, int16_t code);

// Draws `picture` at cell (x, y), scrolled and clipped to the cave view.
void DrawPictureInCell(int16_t x, int16_t y, Picture picture);
