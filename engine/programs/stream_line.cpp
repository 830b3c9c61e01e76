#include "stream_line.h"

#include <cstdio>

namespace vortax {

std::string StreamLine(const StreamInfo& stream, StreamWords words) {
    static const char* const PlainModes[] = {"stereo", "joint stereo", "dual channel", "single channel"};
    static const char* const ShortModes[] = {"Stereo", "Jnt-Stereo", "2-Channel", "Mono"};
    static const char* const RomanLayers[] = {"invalid", "I", "II", "III"};
    const bool plain = words == StreamWords::Plain;
    // The engine gives MPEG 2.5 as version 0.
    const std::string version = stream.version == 0 ? "2.5" : std::to_string(stream.version);
    const std::string layer = plain ? std::to_string(stream.layer) : RomanLayers[stream.layer & 3];
    char line[160];
    std::snprintf(line, sizeof line, "MPEG %s, layer %s, %d %s, %d Hz, %s", version.c_str(), layer.c_str(),
                  stream.bitrate, plain ? "kbit/s" : "kbps", stream.frequency,
                  (plain ? PlainModes : ShortModes)[stream.mode & 3]);
    return line;
}

}  // namespace vortax
