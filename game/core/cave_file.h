// Caves of the player's own, read from a text file.
//
//   # comment lines start with '#'
//   need 10 value 10 extra 0 time 999 wall 10 bonus 0    (optional; any subset, any order)
//   25 rows of 40 cells, with one F and one X, steel around the edge
#pragma once

#include <istream>
#include <optional>
#include <string>

#include "core/caves.h"

// Reads a cave, named after the file; on a fault returns nothing and sets `error` to a
// one-line message naming the line and column.
std::optional<CaveDefinition> ParseCaveFile(std::istream& in, const std::string& name, std::string& error);

// A name for the cave's content (its numbers and rows, not its comments or its file's
// name), the same on every machine: 16 hexadecimal digits. The cave's scores go by it.
std::string CaveFingerprint(const CaveDefinition& cave);
