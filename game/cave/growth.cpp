#include "cave/growth.h"

#include "display/sound.h"
#include "play/state.h"

namespace {

bool RoomForAmoeba(int16_t code) { return code == Earth || code == Empty; }

void GrowFrom(int32_t position) {
    QFClass& cell = Game.Amoebas.Item(position);
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
        Game.Amoebas.Add(nx, ny, AmoebaNew, Amoeba);
        return;
    }
}

// Every amoeba cell, live or not, becomes `code`; the records go, last first.
void ConvertAmoeba(int16_t code) {
    for (int32_t i = Game.Amoebas.Count(); i >= 1; --i) {
        const QFClass& cell = Game.Amoebas.Item(i);
        Game.Cave(cell.X, cell.Y) = code;
        DrawCell(cell.X, cell.Y, code);
        Game.Amoebas.Remove(i);
    }
    StopSound(SndAmoe);
}

bool AllEnclosed() {
    for (const QFClass& cell : Game.Amoebas)
        if (cell.Direction != AmoebaEnclosed) return false;
    return true;
}

bool GrowWallInto(int16_t x, int16_t y) {
    if (Game.Cave(x, y) != Empty) return false;
    Game.Cave(x, y) = BrickWall;
    DrawCell(x, y, BrickWall);
    Game.GrowingWalls.Add(x, y, 0, GrowingWallRecord);
    return true;
}

}  // namespace

void GrowAmoeba() {
    PlaySound(SndAmoe);
    const int32_t count = Game.Amoebas.Count();  // cells born in this step wait for the next
    for (int32_t i = 1; i <= count; ++i) {
        QFClass& cell = Game.Amoebas.Item(i);
        if (cell.Direction == AmoebaActive)
            GrowFrom(i);
        else if (cell.Direction == AmoebaNew)
            cell.Direction = AmoebaActive;
    }
}

void SettleAmoeba() {
    if (Game.Amoebas.Count() > AmoebaSizeLimit) {
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
    const int32_t count = Game.GrowingWalls.Count();
    for (int32_t i = 1; i <= count; ++i) {
        const QFClass& wall = Game.GrowingWalls.Item(i);
        if (wall.X != x || wall.Y != y) continue;
        if (!GrowWallInto(static_cast<int16_t>(x - 1), y)) GrowWallInto(static_cast<int16_t>(x + 1), y);
    }
}
