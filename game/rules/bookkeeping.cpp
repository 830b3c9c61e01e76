#include "rules/bookkeeping.h"

#include <algorithm>

#include "core/caves.h"
#include "platform/display.h"
#include "platform/sound.h"
#include "render/cells.h"
#include "rules/explode.h"
#include "rules/score.h"

namespace {

constexpr int16_t BirthSeconds = 4;   // the player appears on the fourth clock second
constexpr int16_t LowTimeWarning = 6;  // fewer seconds than this left tick audibly

// The view that shows the player's cell, pinned at the cave's edges.
void PlaceView() {
    if (Game.BonusCave) {
        Game.ScrollX = 0;
        Game.ScrollY = 0;
        PlayLooping(SndBonus2);
        return;
    }
    // The view that the moves would have reached, the player kept in its band.
    const auto view = [](int player, int from, int cells) {
        return static_cast<int16_t>(-CellPixels * std::clamp(player - from, 0, cells));
    };
    Game.ScrollX = view(Game.PlayerX, ScrollFromX, ScrollCellsX);
    Game.ScrollY = view(Game.PlayerY, ScrollFromY, ScrollCellsY);
}

void TimeOut() {
    PlaySound(SndTimeout);
    KillPlayer();
    if (Game.BonusCave) StartCave();
}

}  // namespace

void StartCave() {
    StopSound(SndBonus2);
    PlaySound(SndStart);
    Game.ClockRunning = false;
    Game.PlayerDead = false;
    Game.ExitReached = false;
    ClearCave();
    ClearBackBuffer(MakeColour(255, 255, 255));
    // A bonus cave is never played twice in a row, however it was left.
    if (Game.BonusCave) ++Game.CaveNumber;
    LoadCave(Game.CaveNumber);
    PlaceView();
    // A cave that needs no jewels has its exit open from the start.
    if (Game.JewelsNeeded == 0) OpenExit();
    Game.BirthCounter = 0;
    Game.ClockRunning = true;
    Game.AmoebaTicks = 0;
}

void ClockTick() {
    if (Game.BirthCounter >= 0) {
        ++Game.BirthCounter;
        if (Game.BirthCounter == BirthSeconds) {
            Game.BirthCounter = -1;
            DrawCell(Game.PlayerX, Game.PlayerY, Player);
        }
    }
    if (Game.EnchantedWallActive) {
        ++Game.EnchantedWallSeconds;
        if (Game.EnchantedWallSeconds == Game.EnchantedWallTime) {
            Game.EnchantedWallActive = false;
            Game.EnchantedWallSeconds = 0;
            ExpireEnchantedWall();
        }
    }
    if (Game.CaveTime > 0) --Game.CaveTime;
    if (Game.CaveTime < LowTimeWarning) PlaySound(SndTime);
    if (Game.CaveTime == 0) TimeOut();
}

void ExpireEnchantedWall() {
    for (int16_t y = 1; y <= CaveHeight; ++y)
        for (int16_t x = 1; x <= CaveWidth; ++x)
            if (Game.Cave(x, y) == EnchantedWall) {
                Game.Cave(x, y) = BrickWall;
                DrawCell(x, y, BrickWall);
            }
}

void QuietWhileAway() {
    if (!Game.InGame) return;
    StopSound(SndBonus2);
    if (Game.Paused) {
        StopSound(SndInfo);
        PlaySound(SndInfo);
    }
}

void ClearCave() {
    for (int16_t y = 1; y <= CaveHeight; ++y)
        for (int16_t x = 1; x <= CaveWidth; ++x) Game.Cave(x, y) = Empty;
}
