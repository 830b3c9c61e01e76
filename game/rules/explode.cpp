#include "rules/explode.h"

#include <algorithm>

#include "platform/sound.h"
#include "rules/score.h"

namespace {

// The neighbours of the centre, in the order the block is filled.
constexpr int Neighbours[8][2] = {{-1, -1}, {-1, 0}, {-1, 1}, {0, -1}, {1, -1}, {1, 0}, {0, 1}, {1, 1}};

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
            Game.PlayerDead = true;
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
bool FillBlock(int16_t x, int16_t y, int16_t kind, bool alsoAmoeba) {
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

void Explode(int16_t x, int16_t y, int16_t kind, bool alsoAmoeba) {
    // The one timer animates every explosion in the cave: the newest starts it again.
    Game.ExplosionTimer = 0;
    // A player caught in the block turns it into his own explosion: the jewels are lost.
    if (FillBlock(x, y, kind, alsoAmoeba)) FillBlock(x, y, Player, alsoAmoeba);
    for (const auto& [dx, dy] : Neighbours) {
        const int nx = x + dx;
        const int ny = y + dy;
        if (InsideCave(nx, ny)) RemoveRecordsAt(static_cast<int16_t>(nx), static_cast<int16_t>(ny), alsoAmoeba);
    }
}

void KillPlayer() { Explode(Game.PlayerX, Game.PlayerY, Player, false); }

void RemoveRecordsAt(int16_t x, int16_t y, bool alsoAmoeba) {
    const auto at = [x, y](const ObjectRecord& record) { return record.X == x && record.Y == y; };
    // One enemy to a cell: the first found is the one.
    const auto enemy = std::find_if(Game.Enemies.begin(), Game.Enemies.end(), at);
    if (enemy != Game.Enemies.end()) Game.Enemies.erase(enemy);
    if (!alsoAmoeba) return;
    std::erase_if(Game.Amoebas, at);
    for (ObjectRecord& cell : Game.Amoebas) cell.Direction = AmoebaNew;
}
