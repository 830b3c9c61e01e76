// Caves of the player's own, read from a text file.
//
//   # comment lines start with '#'
//   need 10 value 10 extra 0 time 999 wall 10 bonus 0    (optional; any subset, any order)
//   25 rows of 40 cells, with one F and one X, steel around the edge
#pragma once

#include <array>
#include <istream>
#include <optional>
#include <string>

#include "play/caves.h"

struct CaveFile {
    std::string description;
    std::array<std::string, 25> rows;
    CaveDefinition definition{};  // views into the strings above; rebuilt by Parse
};

// Reads a cave; on a fault returns nothing and sets `error` to a one-line message
// naming the line and column.
std::optional<CaveFile> ParseCaveFile(std::istream& in, const std::string& name, std::string& error);

// Points a cave's definition at its own strings (after a copy or a move).
void BindCaveFile(CaveFile& cave);
