// The names MPEG audio files go by, for the engine's programs: what vortax-decode and
// Tunepress take from a folder and what a file chooser shows.
#pragma once

#include <string_view>

namespace vortax {

// Without the dot; matched in any case.
inline constexpr std::string_view MpegExtensions[] = {"mp1", "mp2", "mp3", "mpa", "mpg"};

}  // namespace vortax
