#include "bitstream.h"

void ResetBits(BitReader& reader, const uint8_t* data, size_t size) {
    reader.data = data;
    reader.size = size;
    reader.position = 0;
}

uint32_t GetBits(BitReader& reader, int n) {
    uint32_t value = 0;
    // Whole bytes where the read is aligned, single bits at the ragged ends.
    while (n > 0) {
        const size_t byte = reader.position >> 3;
        const int offset = static_cast<int>(reader.position & 7);
        const int take = n < 8 - offset ? n : 8 - offset;
        const uint32_t bits = byte < reader.size ? reader.data[byte] : 0u;
        value = (value << take) | ((bits >> (8 - offset - take)) & ((1u << take) - 1));
        reader.position += static_cast<size_t>(take);
        n -= take;
    }
    return value;
}

void PutBackBits(BitReader& reader, int n) {
    reader.position = static_cast<size_t>(n) > reader.position ? 0 : reader.position - static_cast<size_t>(n);
}
