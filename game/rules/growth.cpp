#include "rules/growth.h"

#include "core/state.h"
#include "platform/sound.h"
#include "render/cells.h"

namespace {

bool RoomForAmoeba(int16_t code) { return code == Earth || code == Empty; }

void GrowFrom(size_t index) {
    ObjectRecord& cell = Game.Amoebas[index];
    cell.Direction = AmoebaEnclosed;
    const int16_t x = cell.X;
    const int16_t y = cell.Y;
    const int16_t sides[4][2] = {{x, static_cast<int16_t>(y - 1)},
                                 {x, static_cast<int16_t>(y + 1)},
                                 {static_cast<int16_t>(x - 1), y},
                                 {static_cast<int16_t>(x + 1), y}};
    for (const auto& [nx, ny] : sides) {
        if (!RoomForAmoeba(Game.Cave(nx, ny))) continue;
        Game.Cave(nx, ny) = Amoeba;
        DrawCell(nx, ny, Amoeba);
        cell.Direction = AmoebaActive;  // before the append, which may move the record
        Game.Amoebas.push_back({nx, ny, AmoebaNew, Amoeba});
        return;
    }
}

// Every amoeba cell, live or not, becomes `code`; the records go, last first.
void ConvertAmoeba(int16_t code) {
    for (auto cell = Game.Amoebas.rbegin(); cell != Game.Amoebas.rend(); ++cell) {
        Game.Cave(cell->X, cell->Y) = code;
        DrawCell(cell->X, cell->Y, code);
    }
    Game.Amoebas.clear();
    StopSound(SndAmoe);
}

bool AllEnclosed() {
    for (const ObjectRecord& cell : Game.Amoebas)
        if (cell.Direction != AmoebaEnclosed) return false;
    return true;
}

bool GrowWallInto(int16_t x, int16_t y) {
    if (Game.Cave(x, y) != Empty) return false;
    Game.Cave(x, y) = BrickWall;
    DrawCell(x, y, BrickWall);
    Game.GrowingWalls.push_back({x, y, 0, GrowingWallRecord});
    return true;
}

}  // namespace

void GrowAmoeba() {
    PlaySound(SndAmoe);
    const size_t count = Game.Amoebas.size();  // cells born in this step wait for the next
    for (size_t i = 0; i < count; ++i) {
        ObjectRecord& cell = Game.Amoebas[i];
        if (cell.Direction == AmoebaActive)
            GrowFrom(i);
        else if (cell.Direction == AmoebaNew)
            cell.Direction = AmoebaActive;
    }
}

void SettleAmoeba() {
    if (Game.Amoebas.size() > AmoebaSizeLimit) {
        ConvertAmoeba(Boulder);
        PlaySound(SndBoulder);
    } else if (AllEnclosed()) {
        ConvertAmoeba(Jewel);
        PlaySound(SndAmoe2);
    }
}

void GrowWall(int16_t x, int16_t y) {
    // Only the two side cells change here, so the wall test holds for every record.
    if (Game.Cave(x, y) != BrickWall) return;
    const size_t count = Game.GrowingWalls.size();
    for (size_t i = 0; i < count; ++i) {
        const ObjectRecord& wall = Game.GrowingWalls[i];
        if (wall.X != x || wall.Y != y) continue;
        if (!GrowWallInto(static_cast<int16_t>(x - 1), y)) GrowWallInto(static_cast<int16_t>(x + 1), y);
    }
}
