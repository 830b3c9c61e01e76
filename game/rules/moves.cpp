#include "rules/moves.h"

#include "core/grid.h"
#include "core/state.h"
#include "platform/display.h"
#include "platform/sound.h"
#include "render/cells.h"
#include "rules/bookkeeping.h"
#include "rules/score.h"

namespace {

// The view moves a cell with the player inside its band and is pinned outside it.
void Follow(int16_t& scroll, int player, int step, int from, int cells) {
    if (!Game.BonusCave && player > from && player <= from + cells)
        scroll = static_cast<int16_t>(scroll - CellPixels * step);
    if (player <= from) scroll = 0;
    if (player > from + cells) scroll = static_cast<int16_t>(-CellPixels * cells);
}

void FollowHorizontally(int dx) { Follow(Game.ScrollX, Game.PlayerX, dx, ScrollFromX, ScrollCellsX); }

void FollowVertically(int dy) { Follow(Game.ScrollY, Game.PlayerY, dy, ScrollFromY, ScrollCellsY); }

void SetCell(int x, int y, int16_t code) {
    Game.Cave(x, y) = code;
    DrawCell(static_cast<int16_t>(x), static_cast<int16_t>(y), code);
}

// Boulders go sideways only, and only into an empty cell inside the cave.
bool PushBoulder(int x, int y, int dx) {
    const int beyond = x + 2 * dx;
    if (dx == 0 || !InsideCave(beyond, y) || Game.Cave(beyond, y) != Empty) return false;
    SetCell(x + dx, y, Empty);
    SetCell(beyond, y, Boulder);
    return true;
}

bool EnterCell(int x, int y) {
    const int16_t ahead = Game.Cave(x, y);
    if (ahead == Jewel || ahead == FallingJewel) {
        SetCell(x, y, Empty);
        CollectJewel();
    }
    if (Game.Cave(x, y) == ExitDoor) {
        SetCell(x, y, Empty);
        Game.ExitReached = true;
    }
    // Empty, earth, or a falling object, which the player simply takes the place of.
    return Game.Cave(x, y) < Jewel;
}

void Move(int dx, int dy) {
    const int x = Game.PlayerX;
    const int y = Game.PlayerY;
    bool mayMove = false;
    if (InsideCave(x + dx, y + dy)) {
        if (Game.Cave(x + dx, y + dy) == Boulder)
            mayMove = PushBoulder(x, y, dx);
        else
            mayMove = EnterCell(x + dx, y + dy);
    }
    if (mayMove) {
        SetCell(x, y, Empty);
        Game.PlayerX = static_cast<int16_t>(x + dx);
        Game.PlayerY = static_cast<int16_t>(y + dy);
        if (dx != 0) FollowHorizontally(dx);
        if (dy != 0) FollowVertically(dy);
        SetCell(Game.PlayerX, Game.PlayerY, Player);
        PlaySound(SndStep);
    }
    if (!Game.ExitReached) return;
    FinishCave();
    if (!Game.BonusCave) ++Game.CaveNumber;
    StartCave();
}

}  // namespace

void MoveLeft() { Move(-1, 0); }
void MoveRight() { Move(1, 0); }
void MoveUp() { Move(0, -1); }
void MoveDown() { Move(0, 1); }
