// Explosions: the 3 x 3 block around a cell, and the records they drop.
#pragma once

#include <cstdint>

#include "core/state.h"

// kind is the cell code of what explodes: Player (the block becomes explosion and a
// life is lost), Firefly (explosion) or Jewel (a butterfly: the block becomes jewels).
void Explode(int16_t x, int16_t y, int16_t kind, bool alsoAmoeba);

// The player's own explosion, centred on his cell.
void KillPlayer();

// Drops the enemy record at (x, y); with alsoAmoeba also the amoeba record there, and
// sends every other amoeba cell back to the new state.
void RemoveRecordsAt(int16_t x, int16_t y, bool alsoAmoeba);
