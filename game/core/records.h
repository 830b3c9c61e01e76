// Object records and the record lists that hold fireflies, butterflies, amoeba cells
// and growing-wall cells beside the cave grid.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One object record: its cell, a word its rule keeps, and what it is.
struct ObjectRecord {
    int16_t X = 0;
    int16_t Y = 0;
    int16_t Direction = 0;
    int16_t What = 0;
};

// The growth state of an amoeba cell, kept in its record's Direction.
enum AmoebaState : int16_t {
    AmoebaNew = 0,       // waits one growth step
    AmoebaActive = 1,    // may grow
    AmoebaEnclosed = 2,  // found no room at its last try
};

// What a growing-wall cell's record holds in What.
constexpr int16_t GrowingWallRecord = 12;

// Records in the order they were added; the rules visit them in that order.
using RecordList = std::vector<ObjectRecord>;

// Drops the record at index; the later records move down by one, keeping their order.
// An index outside the list is the caller's fault and fails loudly.
void RemoveRecord(RecordList& list, size_t index);
