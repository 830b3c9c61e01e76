#include "rules/score.h"

#include "core/state.h"
#include "platform/display.h"
#include "platform/sound.h"
#include "render/cells.h"

namespace {

constexpr int32_t PointsPerLife = 500;

void ScorePoints(int16_t points, bool flash) {
    for (int16_t i = 0; i < points; ++i) {
        ++Game.Score;
        AddPoint(flash);
    }
}

}  // namespace

void CollectJewel() {
    int16_t needed = Game.JewelsNeeded;
    if (needed > 0) {
        Game.JewelsNeeded = static_cast<int16_t>(needed - 1);
        ScorePoints(Game.JewelValue, true);
        needed = Game.JewelsNeeded;
    }
    // Only jewels taken after the exit opened score the extra value.
    if (needed == -1) ScorePoints(Game.ExtraJewelValue, true);
    PlaySound(SndPling);
    ++Game.JewelsCollected;
    if (Game.JewelsNeeded == 0) OpenExit();
}

void AddPoint(bool flash) {
    if (Game.Score % PointsPerLife != 0) return;
    ++Game.Lives;
    PlaySound(SndLive);
    if (flash) ClearBackBuffer(MakeColour(255, 0, 0));
}

void FinishCave() {
    PlaySound(Game.BonusCave ? SndBonus : SndFinish);
    if (Game.CaveTime <= 0) return;
    // Counting from CaveTime down to 0 inclusive gives CaveTime + 1 points.
    for (int16_t counter = Game.CaveTime; counter >= 0; --counter) {
        --Game.CaveTime;
        ++Game.Score;
        AddPoint(false);
    }
}

void OpenExit() {
    Game.JewelsNeeded = -1;
    PlaySound(SndBoing);
    Game.Cave(Game.ExitX, Game.ExitY) = ExitDoor;
    DrawCell(Game.ExitX, Game.ExitY, ExitDoor);
    ClearBackBuffer(MakeColour(0, 255, 255));
}

void KeepHighScore() {
    if (Game.Score > Game.HighScore) Game.HighScore = Game.Score;
}
