// Why a picture, sound or font file could not be loaded, in words a player can act on:
// the libraries' own messages speak of their internals ("Parameter 'src' is invalid").
#pragma once

#include <string>

// "cannot load PATH: the file is missing" (or not readable, with the system's reason,
// or not a `kind` the game can read, such as "BMP picture").
std::string LoadFailure(const std::string& path, const std::string& kind);
