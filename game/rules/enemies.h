// Fireflies and butterflies: they follow walls, strike the player, and explode when
// something falls on them or they touch the amoeba.
#pragma once

#include <cstdint>

#include "core/state.h"

// An enemy's direction of travel, kept in its record.
enum Direction : int16_t {
    DirNone = 0,
    DirUp = 1,
    DirLeft = 2,
    DirDown = 3,
    DirRight = 4,
};

// Turns and moves every enemy once; frame picks the picture of a moved enemy. The
// first explosion or strike ends the pass for this frame.
void MoveEnemies(int16_t frame);

// Does any of the four side neighbours of (x, y) hold amoeba?
bool AmoebaAdjacent(int16_t x, int16_t y);
