// The ID3v2 tags (versions 2.2, 2.3 and 2.4) that start an input, read for what they say.
#pragma once

#include <cstddef>
#include <cstdint>

#include "metadata.h"

namespace vortax {

// Adds what the ID3v2 tags one after another at the start of `bytes` say, the first of
// each field winning, and keeps the first tag whole. A tag cut short by the end of the
// bytes is passed over.
void ReadLeadingTags(const uint8_t* bytes, size_t size, StreamTags& tags);

}  // namespace vortax
