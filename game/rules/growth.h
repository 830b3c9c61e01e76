// The amoeba, which spreads and then turns into jewels or boulders, and the growing wall.
// (The enchanted wall lives in the fall pass and the clock.)
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int16_t AmoebaGrowthInterval = 25;  // frames between growth steps
constexpr size_t AmoebaSizeLimit = 200;       // more cells than this turn into boulders

// Every active cell takes its first free side (up, down, left, right) of earth or empty.
void GrowAmoeba();

// Turns the amoeba into boulders when it is too large, or into jewels when no cell can
// grow any more.
void SettleAmoeba();

// A growing-wall cell at (x, y) extends into the empty cell on its left, else its right.
void GrowWall(int16_t x, int16_t y);
