#include "core/caves.h"

#include <utility>

#include "core/state.h"

namespace {

const CaveDefinition* customCave = nullptr;

// What a cave character stores in the grid: the hidden exit is steel until it opens, a
// growing wall is brick that grows. Nothing is drawn here: every frame draws every cell.
int16_t Decode(char c) {
    switch (c) {
        case 'F': return Player;
        case 'X': return SteelWall;
        case 'Z': return BrickWall;
        default: return static_cast<int16_t>(c - '0');
    }
}

void LoadCell(int16_t x, int16_t y, char c) {
    const int16_t code = Decode(c);
    Game.Cave(x, y) = code;
    switch (c) {
        case 'F':
            Game.PlayerX = x;
            Game.PlayerY = y;
            break;
        case 'X':
            Game.ExitX = x;
            Game.ExitY = y;
            break;
        case '5': Game.Amoebas.push_back({x, y, AmoebaNew, Amoeba}); break;
        case '6':
        case '7': Game.Enemies.push_back({x, y, 0, code}); break;
        case 'Z': Game.GrowingWalls.push_back({x, y, 0, GrowingWallRecord}); break;
        default: break;
    }
}

}  // namespace

void ClearRecordLists() {
    Game.Enemies.clear();
    Game.Amoebas.clear();
    Game.GrowingWalls.clear();
}

void LoadCaveDefinition(const CaveDefinition& cave) {
    Game.BonusCave = false;
    Game.EnchantedWallActive = false;
    Game.EnchantedWallSeconds = 0;
    ClearRecordLists();

    Game.CaveDescription = cave.Description;
    Game.LevelNumber = cave.LevelNumber;
    Game.BonusCave = cave.Bonus;
    Game.JewelsNeeded = cave.JewelsNeeded;
    Game.JewelValue = cave.JewelValue;
    Game.ExtraJewelValue = cave.ExtraJewelValue;
    Game.CaveTime = cave.CaveTime;
    Game.EnchantedWallTime = cave.EnchantedWallTime;
    Game.JewelsCollected = 0;

    for (int16_t y = 1; y <= CaveHeight; ++y)
        for (int16_t x = 1; x <= CaveWidth; ++x) LoadCell(x, y, cave.Rows[static_cast<size_t>(y - 1)][static_cast<size_t>(x - 1)]);
}

const CaveDefinition* UseCustomCave(const CaveDefinition* cave) { return std::exchange(customCave, cave); }

void LoadCave(int16_t& caveNumber) {
    if (caveNumber < 1 || caveNumber > CaveCount) caveNumber = 1;
    LoadCaveDefinition(customCave ? *customCave : CaveTable[static_cast<size_t>(caveNumber - 1)]);
}
