// The cave step of every frame, and the fall pass: jewels and boulders fall, roll,
// land, crush, and pass through the enchanted wall.
#pragma once

#include <cstdint>

// One frame of the living cave: amoeba, explosion timer, the fall pass, the enemies.
// The counters advance while paused; nothing else does.
void CaveStep();

// One sweep, rows 24 up to 1, each row left to right.
void FallPass();

// What a crush did: nothing (the object at (x, y) was at rest), killed the player, or
// killed him in a bonus cave, which starts the next cave at once.
enum class Crush { None, Killed, NextCave };

// The jewel or boulder at (x, y) reaches the player below it.
Crush CrushPlayer(int16_t x, int16_t y);
