// The tags that share a file with MPEG audio frames: ID3v2 at the start (of every file of
// a joined stream), ID3v1, APE and Lyrics3 at the end. None of them is audio, and a
// picture in one can hold what looks like frames, so a tag is passed by its own length.
#pragma once

#include <cstdint>

namespace vortax {

// The most bytes TagLength asks to see.
constexpr int32_t TagLookBytes = 8192;

// What the bytes at hand start: the length of the tag they start, 0 when they start none,
// or, when more bytes must be seen to tell, minus the number of bytes to see.
int32_t TagLength(const uint8_t* bytes, int32_t available);

}  // namespace vortax
