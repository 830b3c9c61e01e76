#include "play/caves.h"

#include <utility>

#include "display/cells.h"
#include "play/state.h"

namespace {

const CaveDefinition* customCave = nullptr;

// What a cave character stores in the grid and what is drawn for it at load: the
// player's start shows the door, a dormant enchanted wall shows brick, the hidden exit
// shows steel.
struct CellFromCharacter {
    int16_t code;
    int16_t shown;
};

CellFromCharacter Decode(char c) {
    switch (c) {
        case 'F': return {Player, ExitDoor};
        case 'X': return {SteelWall, SteelWall};
        case 'Z': return {BrickWall, BrickWall};
        case '4': return {EnchantedWall, BrickWall};
        default: {
            const auto code = static_cast<int16_t>(c - '0');
            return {code, code};
        }
    }
}

void LoadCell(int16_t x, int16_t y, char c) {
    const CellFromCharacter cell = Decode(c);
    Game.Cave(x, y) = cell.code;
    DrawCell(x, y, cell.shown);
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
        case '7': Game.Enemies.push_back({x, y, 0, cell.code}); break;
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

    Game.CaveDescription = cave.description;
    Game.LevelNumber = cave.LevelNumber;
    Game.BonusCave = cave.bonus;
    Game.JewelsNeeded = cave.JewelsNeeded;
    Game.JewelValue = cave.JewelValue;
    Game.ExtraJewelValue = cave.ExtraJewelValue;
    Game.CaveTime = cave.CaveTime;
    Game.EnchantedWallTime = cave.EnchantedWallTime;
    Game.JewelsCollected = 0;

    for (int16_t y = 1; y <= CaveHeight; ++y)
        for (int16_t x = 1; x <= CaveWidth; ++x) LoadCell(x, y, cave.rows[static_cast<size_t>(y - 1)][static_cast<size_t>(x - 1)]);
}

const CaveDefinition* UseCustomCave(const CaveDefinition* cave) { return std::exchange(customCave, cave); }

void LoadCave(int16_t& caveNumber) {
    if (caveNumber < 1 || caveNumber > CaveCount) caveNumber = 1;
    LoadCaveDefinition(customCave ? *customCave : CaveTable[static_cast<size_t>(caveNumber - 1)]);
}
