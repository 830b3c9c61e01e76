#include "rules/enemies.h"

#include "render/cells.h"
#include "rules/explode.h"

namespace {

struct Step {
    int dx;
    int dy;
};

Step StepOf(int16_t direction) {
    switch (direction) {
        case DirUp: return {0, -1};
        case DirLeft: return {-1, 0};
        case DirDown: return {0, 1};
        case DirRight: return {1, 0};
        default: return {0, 0};
    }
}

// Directions run counter-clockwise (up, left, down, right): turning right is one step
// back in that order, turning left one step on.
int16_t RightOf(int16_t d) { return static_cast<int16_t>(d == DirUp ? DirRight : d - 1); }
int16_t LeftOf(int16_t d) { return static_cast<int16_t>(d == DirRight ? DirUp : d + 1); }
int16_t BackOf(int16_t d) { return LeftOf(LeftOf(d)); }

int16_t CellTowards(const ObjectRecord& enemy, int16_t direction) {
    const Step step = StepOf(direction);
    return Game.Cave(enemy.X + step.dx, enemy.Y + step.dy);
}

bool FreeFor(int16_t code) { return code == Empty || code == Player; }

// Right, ahead, left, back: the first free side wins; with none free the heading stays.
int16_t Turn(const ObjectRecord& enemy) {
    const int16_t d = enemy.Direction;
    for (int16_t candidate : {RightOf(d), d, LeftOf(d), BackOf(d)})
        if (FreeFor(CellTowards(enemy, candidate))) return candidate;
    return d;
}

int16_t ExplosionKindOf(const ObjectRecord& enemy) { return enemy.What == Firefly ? int16_t{Firefly} : int16_t{Jewel}; }

bool FallingObject(int16_t code) { return code == FallingJewel || code == FallingBoulder; }

// Moves one enemy; returns false when it set off an explosion, which ends the pass.
bool MoveEnemy(size_t index, int16_t frame) {
    ObjectRecord& enemy = Game.Enemies[index];
    const int16_t x = enemy.X;
    const int16_t y = enemy.Y;
    if (FallingObject(Game.Cave(x, y - 1))) {
        Explode(x, y, ExplosionKindOf(enemy), false);
        return false;
    }
    if (AmoebaAdjacent(x, y)) {
        Explode(x, y, ExplosionKindOf(enemy), true);
        return false;
    }
    if (enemy.Direction == DirNone) enemy.Direction = DirUp;
    enemy.Direction = Turn(enemy);

    const int16_t ahead = CellTowards(enemy, enemy.Direction);
    if (ahead == Player) {
        RemoveRecord(Game.Enemies, index);
        KillPlayer();
        return false;
    }
    if (ahead == Empty) {
        Game.Cave(x, y) = Empty;
        DrawCell(x, y, Empty);
        const Step step = StepOf(enemy.Direction);
        enemy.X = static_cast<int16_t>(x + step.dx);
        enemy.Y = static_cast<int16_t>(y + step.dy);
        Game.Cave(enemy.X, enemy.Y) = enemy.What;
        const Picture picture = enemy.What == Firefly ? FireflyBmp[frame] : ButterflyBmp[frame];
        DrawPictureInCell(enemy.X, enemy.Y, picture);
    }
    return true;
}

}  // namespace

bool AmoebaAdjacent(int16_t x, int16_t y) {
    return Game.Cave(x, y - 1) == Amoeba || Game.Cave(x + 1, y) == Amoeba || Game.Cave(x, y + 1) == Amoeba ||
           Game.Cave(x - 1, y) == Amoeba;
}

void MoveEnemies(int16_t frame) {
    const size_t count = Game.Enemies.size();
    for (size_t i = 0; i < count; ++i)
        if (!MoveEnemy(i, frame)) return;
}
