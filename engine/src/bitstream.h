// The bit readers the layer decoders read a frame with: big-endian bits, most
// significant first, from a buffer of whole bytes.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vortax {

struct BitReader {
    const uint8_t* data = nullptr;
    size_t size = 0;      // bytes
    size_t position = 0;  // bits from the start
};

// Points the reader at size bytes of data, at their first bit.
void ResetBits(BitReader& reader, const uint8_t* data, size_t size);

// The 8 bytes of data from `byte` on as a big-endian number, bytes past the end of the
// data as 0: the slow path of LoadWord.
uint64_t LoadTail(const uint8_t* data, size_t size, size_t byte);

// The 8 bytes of data from `byte` on as a big-endian number; bytes past the end read as 0.
inline uint64_t LoadWord(const uint8_t* data, size_t size, size_t byte) {
    if (byte + 8 > size) return LoadTail(data, size, byte);
    uint64_t word;
    std::memcpy(&word, data + byte, sizeof word);
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
    return word;
}

// At least 57 bits from bit `position` of the reader's data on, left-aligned; past the
// end of the data the bits read as 0. The reader does not move: codes whose places are
// known ahead are read without waiting for one another.
inline uint64_t BitsAt(const BitReader& reader, size_t position) {
    return LoadWord(reader.data, reader.size, position >> 3) << (position & 7);
}

// The next n bits (1 to 32); past the end of the data the bits read as 0.
inline uint32_t GetBits(BitReader& reader, int n) {
    const uint64_t word = BitsAt(reader, reader.position);
    reader.position += static_cast<size_t>(n);
    return static_cast<uint32_t>(word >> (64 - n));
}

// Moves the reader back by n bits.
void PutBackBits(BitReader& reader, int n);

// Bits read since the reset.
inline size_t BitsRead(const BitReader& reader) { return reader.position; }

// A reader for long runs of short codes: it keeps the next bits left-aligned in a register,
// at least 56 of them after a refill, so that a code is looked at without a load.
class BitCache {
public:
    // Starts where the reader is.
    explicit BitCache(const BitReader& reader) : data_(reader.data), size_(reader.size), next_(reader.position >> 3) {
        Refill();
        Skip(static_cast<int>(reader.position & 7));
    }

    // Tops the register up to 56 bits or more with whole bytes.
    void Refill() {
        bits_ |= LoadWord(data_, size_, next_) >> count_;
        next_ += static_cast<size_t>((63 - count_) >> 3);
        count_ |= 56;
    }

    // The bits, the next one most significant; only the first `count` of them are loaded.
    uint64_t Bits() const { return bits_; }

    // Moves past n bits (at most as many as are loaded).
    void Skip(int n) {
        bits_ <<= n;
        count_ -= n;
    }

    // Bits from the start of the data.
    size_t Position() const { return next_ * 8 - static_cast<size_t>(count_); }

private:
    const uint8_t* data_;
    size_t size_;
    size_t next_;  // the next byte to load
    uint64_t bits_ = 0;
    int count_ = 0;
};

}  // namespace vortax
