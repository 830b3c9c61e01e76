// The cave grid and its cell codes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// What a cell holds. The values are fixed: the cave rows and the record lists use them.
enum CellCode : int16_t {
    FallingBoulder = -3,
    FallingJewel = -2,
    Player = -1,
    Empty = 0,
    Earth = 1,
    Jewel = 2,
    Boulder = 3,
    EnchantedWall = 4,
    Amoeba = 5,
    Butterfly = 6,
    Firefly = 7,
    BrickWall = 8,
    SteelWall = 9,
    Explosion = 10,
    ExitDoor = 11,
};

constexpr int CaveWidth = 40;   // columns 1..40 hold the cave; column 0 stays empty
constexpr int CaveHeight = 25;  // rows 1..25 hold the cave; row 0 stays empty

// Whether (x, y) is a cell of the cave rather than of its empty border.
constexpr bool InsideCave(int x, int y) { return x >= 1 && x <= CaveWidth && y >= 1 && y <= CaveHeight; }

// 41 x 26 cells addressed (x, y); cell (x, y) is element x + 41 * y.
struct CaveGrid {
    std::array<int16_t, (CaveWidth + 1) * (CaveHeight + 1)> cells{};

    int16_t& operator()(int x, int y) { return cells[static_cast<size_t>(x + (CaveWidth + 1) * y)]; }
    int16_t operator()(int x, int y) const { return cells[static_cast<size_t>(x + (CaveWidth + 1) * y)]; }
};
