// The genres an ID3v1 tag's genre byte numbers, which ID3v2 genres refer to as "(17)".
#pragma once

namespace vortax {

constexpr int GenreCount = 192;

// By number; 255 in a tag means none.
extern const char* const GenreNames[GenreCount];

}  // namespace vortax
