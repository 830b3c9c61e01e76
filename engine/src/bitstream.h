// The bit reader the layer decoders read a frame with: big-endian bits, most
// significant first, from a buffer of whole bytes.
#pragma once

#include <cstddef>
#include <cstdint>

struct BitReader {
    const uint8_t* data = nullptr;
    size_t size = 0;      // bytes
    size_t position = 0;  // bits from the start
};

// Points the reader at size bytes of data, at their first bit.
void ResetBits(BitReader& reader, const uint8_t* data, size_t size);

// The next n bits (1 to 32); past the end of the data the bits read as 0.
uint32_t GetBits(BitReader& reader, int n);

// Moves the reader back by n bits.
void PutBackBits(BitReader& reader, int n);

// Bits read since the reset.
inline size_t BitsRead(const BitReader& reader) { return reader.position; }
