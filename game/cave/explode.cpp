#include "cave/explode.h"

#include "cave/growth.h"
#include "display/sound.h"
#include "play/bookkeeping.h"

namespace {

// The neighbours of the centre, in the order the block is filled.
constexpr int Neighbours[8][2] = {{-1, -1}, {-1, 0}, {-1, 1}, {0, -1}, {1, -1}, {1, 0}, {0, 1}, {1, 1}};

bool InsideCave(int x, int y) { return x >= 1 && x <= CaveWidth && y >= 1 && y <= CaveHeight; }

int16_t FillFor(int16_t kind) {
    switch (kind) {
        case Player:
        case Firefly: return Explosion;
        case Jewel: return Jewel;
        default: return Empty;
    }
}

void SoundAndLifeFor(int16_t kind) {
    switch (kind) {
        case Player:
            PlaySound(SndExplo);
            Game.PlayerDead = True;
            if (!Game.BonusCave) {
                --Game.Lives;
                if (Game.Lives == 0) KeepHighScore();
            }
            break;
        case Firefly: PlaySound(SndExplo); break;
        case Jewel: PlaySound(SndEx2); break;
        default: break;
    }
}

// Fills the block and tells whether the player, alive until now, stood inside it.
bool FillBlock(int16_t x, int16_t y, int16_t kind, Flag alsoAmoeba) {
    const int16_t fill = FillFor(kind);
    SoundAndLifeFor(kind);
    Game.Cave(x, y) = fill;
    RemoveRecordsAt(x, y, alsoAmoeba);
    for (const auto& [dx, dy] : Neighbours) {
        const int nx = x + dx;
        const int ny = y + dy;
        if (InsideCave(nx, ny) && Game.Cave(nx, ny) != SteelWall) Game.Cave(nx, ny) = fill;
    }
    return (kind == Firefly || kind == Jewel) && Game.Cave(Game.PlayerX, Game.PlayerY) == fill && !Game.PlayerDead;
}

}  // namespace

void Explode(int16_t x, int16_t y, int16_t kind, Flag alsoAmoeba) {
    // A player caught in the block turns it into his own explosion: the jewels are lost.
    if (FillBlock(x, y, kind, alsoAmoeba)) FillBlock(x, y, Player, alsoAmoeba);
    for (const auto& [dx, dy] : Neighbours) {
        const int nx = x + dx;
        const int ny = y + dy;
        if (InsideCave(nx, ny)) RemoveRecordsAt(static_cast<int16_t>(nx), static_cast<int16_t>(ny), alsoAmoeba);
    }
}

void RemoveRecordsAt(int16_t x, int16_t y, Flag alsoAmoeba) {
    const int32_t enemies = Game.Enemies.Count();
    for (int32_t i = 1; i <= enemies; ++i) {
        const QFClass& enemy = Game.Enemies.Item(i);
        if (enemy.X == x && enemy.Y == y) {
            Game.Enemies.Remove(i);
            break;
        }
    }
    if (!alsoAmoeba) return;
    for (int32_t i = Game.Amoebas.Count(); i >= 1; --i) {
        QFClass& cell = Game.Amoebas.Item(i);
        if (cell.X == x && cell.Y == y)
            Game.Amoebas.Remove(i);
        else
            cell.Direction = AmoebaNew;
    }
}
