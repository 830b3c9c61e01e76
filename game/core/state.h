// The one game state that every rule reads and writes.
#pragma once

#include <cstdint>
#include <string>

#include "core/grid.h"
#include "core/records.h"

struct GameState {
    // The shell and the display.
    bool Running = false;
    bool InGame = false;
    bool Paused = false;
    int16_t Lives = 0;
    int32_t Score = 0;
    int32_t HighScore = 0;
    int16_t TablePlace = 0;  // the place the game just ended took in the scores, 0: none
    int16_t CaveNumber = 0;
    int16_t StartLevel = 1;
    bool ClockRunning = false;
    int16_t AnimFrame = 0;
    int16_t AmoebaFrame = 0;
    int16_t PauseBlink = 0;
    int16_t ScrollX = 0;  // the view's offset in pixels: 0, or minus whole cells (see below)
    int16_t ScrollY = 0;
    uint32_t LastFrameTick = 0;
    uint32_t LastClockTick = 0;
    int16_t CreditLine = -1;
    int16_t FadeLevel = 0;
    int16_t FadeDir = 0;

    // The cave rules.
    int16_t AmoebaTicks = 0;
    int16_t ExplosionTimer = 0;
    bool EnchantedWallActive = false;
    int16_t EnchantedWallSeconds = 0;

    // The loaded cave.
    std::string CaveDescription;
    int16_t LevelNumber = 0;
    bool BonusCave = false;
    int16_t JewelsNeeded = 0;
    int16_t JewelValue = 0;
    int16_t ExtraJewelValue = 0;
    int16_t CaveTime = 0;
    int16_t EnchantedWallTime = 0;
    int16_t JewelsCollected = 0;
    int16_t ExitX = 0;
    int16_t ExitY = 0;

    // The player.
    int16_t PlayerX = 0;
    int16_t PlayerY = 0;
    bool PlayerDead = false;
    bool ExitReached = false;
    int16_t BirthCounter = 0;

    CaveGrid Cave;
    RecordList Enemies;
    RecordList Amoebas;
    RecordList GrowingWalls;
};

// The program's one instance. A test starts afresh with Game = GameState{}.
extern GameState Game;

// The view follows the player once it is past this many cells from the cave's left or top
// edge, up to the last view, which lies this many cells right of and below the first.
// Bonus caves fit the view and never scroll.
constexpr int16_t ScrollFromX = 8;
constexpr int16_t ScrollFromY = 10;
constexpr int16_t ScrollCellsX = 17;
constexpr int16_t ScrollCellsY = 9;
