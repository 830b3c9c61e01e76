#include "rules/fall.h"

#include "core/state.h"
#include "platform/sound.h"
#include "render/cells.h"
#include "rules/bookkeeping.h"
#include "rules/enemies.h"
#include "rules/explode.h"
#include "rules/growth.h"

namespace {

// Jewels and boulders follow the same rules with their own codes.
struct FallingKind {
    int16_t resting;
    int16_t falling;
    int16_t other;        // the other kind at rest, which this one rolls off too
    int16_t transformed;  // what the enchanted wall turns it into
    Sound landing;
};

constexpr FallingKind JewelKind{Jewel, FallingJewel, Boulder, Boulder, SndPling};
constexpr FallingKind BoulderKind{Boulder, FallingBoulder, Jewel, Jewel, SndBoulder};

enum FallMove : int16_t {
    FallDown = 1,
    FallLeft = 2,
    FallRight = 3,
};

// How the pass goes on after the rules of one cell.
enum class Next { Go, LeaveRow, NextCell };

// Counters the rules compare against 0..25 stop above that, so they never overflow.
void Advance(int16_t& counter) {
    if (counter <= AmoebaGrowthInterval) ++counter;
}

// Moves the object at (x, y) down or diagonally down into a cell the caller found
// empty; it lands at rest in row 25, which the pass never visits.
void MoveFalling(const FallingKind& kind, int16_t x, int16_t y, int16_t move) {
    int tx = x;
    switch (move) {
        case FallDown: break;
        case FallLeft: tx = x - 1; break;
        case FallRight: tx = x + 1; break;
        default: return;
    }
    const int ty = y + 1;
    Game.Cave(x, y) = Empty;
    DrawCell(x, y, Empty);
    Game.Cave(tx, ty) = ty == CaveHeight ? kind.resting : kind.falling;
    DrawCell(static_cast<int16_t>(tx), static_cast<int16_t>(ty), kind.resting);
}

Next AfterCrush(Crush crush) {
    switch (crush) {
        case Crush::Killed: return Next::LeaveRow;
        // The object belonged to the cave that was left: its rules end here.
        case Crush::NextCave: return Next::NextCell;
        default: return Next::Go;
    }
}

// A falling object reaching an enemy below it sets it off. Returns whether it did.
bool StrikeEnemy(int16_t code, int16_t x, int16_t y, const FallingKind& kind) {
    if (code != kind.falling) return false;
    const int16_t target = Game.Cave(x, y);
    if (target == Firefly) {
        Explode(x, y, Firefly, false);
        return true;
    }
    if (target == Butterfly) {
        Explode(x, y, Jewel, false);
        return true;
    }
    return false;
}

void PassThroughEnchantedWall(const FallingKind& kind, int16_t x, int16_t y) {
    Game.Cave(x, y) = Empty;
    DrawCell(x, y, Empty);
    Game.EnchantedWallActive = true;
    if (y + 2 <= CaveHeight && Game.Cave(x, y + 2) == Empty) {
        Game.Cave(x, y + 2) = kind.transformed;
        DrawCell(x, static_cast<int16_t>(y + 2), kind.transformed);
    }
}

bool RollsOff(const FallingKind& kind, int16_t below) {
    return below == kind.falling || below == kind.resting || below == kind.other || below == BrickWall;
}

// Tries one roll towards side dx; sets `done` when the object's rules end with it.
Next TryRoll(const FallingKind& kind, int16_t code, int16_t x, int16_t y, int dx, bool& done) {
    const auto sx = static_cast<int16_t>(x + dx);
    const auto sy = static_cast<int16_t>(y + 1);
    const bool open = dx < 0 ? x > 1 : x < CaveWidth;
    if (!open || Game.Cave(sx, y) != Empty) return Next::Go;
    if (Game.Cave(sx, sy) == Player) {
        const Next next = AfterCrush(CrushPlayer(x, y));
        if (next != Next::Go) {
            done = true;
            return next;
        }
    }
    if (StrikeEnemy(code, sx, sy, kind)) {
        done = true;
        return Next::Go;
    }
    if (Game.Cave(sx, sy) == Empty) {
        MoveFalling(kind, x, y, dx < 0 ? FallLeft : FallRight);
        done = true;
    }
    return Next::Go;
}

Next ObjectRules(const FallingKind& kind, int16_t x, int16_t y) {
    const int16_t code = Game.Cave(x, y);
    const auto below_y = static_cast<int16_t>(y + 1);
    if (code == kind.falling && Game.Cave(x, below_y) != Empty) PlaySound(kind.landing);
    if (code != kind.falling && code != kind.resting) return Next::Go;

    if (Game.Cave(x, below_y) == Player) {
        const Next next = AfterCrush(CrushPlayer(x, y));
        if (next != Next::Go) return next;
    }
    const int16_t below = Game.Cave(x, below_y);
    if (code == kind.falling && below == EnchantedWall) {
        PassThroughEnchantedWall(kind, x, y);
        return Next::Go;
    }
    if (StrikeEnemy(code, x, below_y, kind)) return Next::Go;
    if (below == Empty) {
        MoveFalling(kind, x, y, FallDown);
        return Next::Go;
    }
    if (RollsOff(kind, below)) {
        for (int dx : {-1, 1}) {
            bool done = false;
            const Next next = TryRoll(kind, code, x, y, dx, done);
            if (done) return next;
        }
    }
    Game.Cave(x, y) = kind.resting;
    return Next::Go;
}

}  // namespace

Crush CrushPlayer(int16_t x, int16_t y) {
    const int16_t code = Game.Cave(x, y);
    if (code != FallingJewel && code != FallingBoulder) return Crush::None;
    KillPlayer();
    if (!Game.BonusCave) return Crush::Killed;
    StartCave();
    return Crush::NextCave;
}

void FallPass() {
    for (int16_t y = CaveHeight - 1; y >= 1; --y) {
        for (int16_t x = 1; x <= CaveWidth; ++x) {
            Next next = ObjectRules(JewelKind, x, y);
            if (next == Next::Go) next = ObjectRules(BoulderKind, x, y);
            if (next == Next::LeaveRow) break;
            if (next == Next::NextCell) continue;
            if (!Game.GrowingWalls.empty()) GrowWall(x, y);
        }
    }
}

void CaveStep() {
    Game.AmoebaFrame = static_cast<int16_t>((Game.AmoebaFrame + 1) % 6);
    Advance(Game.AmoebaTicks);
    if (!Game.Amoebas.empty() && !Game.Paused) SettleAmoeba();
    if (!Game.Amoebas.empty() && Game.AmoebaTicks == AmoebaGrowthInterval && !Game.Paused) {
        GrowAmoeba();
        Game.AmoebaTicks = 0;
    }
    Advance(Game.ExplosionTimer);
    if (Game.Paused) return;
    FallPass();
    if (!Game.Enemies.empty()) MoveEnemies(Game.AnimFrame);
}
