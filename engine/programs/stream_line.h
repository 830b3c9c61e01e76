// The one line that tells what an MPEG audio stream is, for the engine's programs.
#pragma once

#include <string>

#include "vortax.h"

namespace vortax {

// Plain: "MPEG 1, layer 3, 128 kbit/s, 44100 Hz, joint stereo", vortax-decode's.
// Short: "MPEG 1, layer III, 128 kbps, 44100 Hz, Jnt-Stereo", a player's status line, Tunepress's.
enum class StreamWords { Plain, Short };

std::string StreamLine(const StreamInfo& stream, StreamWords words);

}  // namespace vortax
