// The thirty built-in caves and the loader that turns one into the live cave.
#pragma once

#include <array>
#include <cstdint>
#include <string>

constexpr int CaveCount = 30;

// One cave: its rules and its picture as 25 rows of 40 characters, one per cell:
// "0" empty, "1" earth, "2" jewel, "3" boulder, "4" enchanted wall, "5" amoeba,
// "6" butterfly, "7" firefly, "8" brick wall, "9" steel wall, "F" the player's start,
// "X" the exit (steel until it opens), "Z" growing wall. It owns its text, so copies and
// moves stay whole.
struct CaveDefinition {
    std::string Description;
    int16_t LevelNumber;
    bool Bonus;
    int16_t JewelsNeeded;
    int16_t JewelValue;
    int16_t ExtraJewelValue;
    int16_t CaveTime;
    int16_t EnchantedWallTime;
    std::array<std::string, 25> Rows;
};

// Caves 1 to 30 at indices 0 to 29, built once at start.
extern const std::array<CaveDefinition, CaveCount> CaveTable;

// Loads cave caveNumber into the grid, the record lists and the game state. A number
// outside 1..30 loads cave 1 and is written back as 1.
void LoadCave(int16_t& caveNumber);

// While set, every cave start loads this cave instead of the table's (a cave of the
// player's own); nullptr goes back to the table. Returns the cave set before.
const CaveDefinition* UseCustomCave(const CaveDefinition* cave);

// Loads any definition the same way (a cave of the player's own, or a test's).
void LoadCaveDefinition(const CaveDefinition& cave);

// Empties Enemies, Amoebas and GrowingWalls.
void ClearRecordLists();
