// Decodes a stream held in memory through the whole engine, its tags read, and throws the
// PCM away: the target of the fuzzer and of the damaged-input tests.
#pragma once

#include <cstddef>
#include <cstdint>

// The number of frames decoded; every code on the way is one the engine returns.
int DecodeBytes(const uint8_t* data, size_t size);
