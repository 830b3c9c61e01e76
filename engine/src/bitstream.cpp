#include "bitstream.h"

namespace vortax {

void ResetBits(BitReader& reader, const uint8_t* data, size_t size) {
    reader.data = data;
    reader.size = size;
    reader.position = 0;
}

uint64_t LoadTail(const uint8_t* data, size_t size, size_t byte) {
    uint64_t word = 0;
    for (size_t end = byte + 8; byte < end; ++byte) word = (word << 8) | (byte < size ? data[byte] : 0u);
    return word;
}

void PutBackBits(BitReader& reader, int n) {
    reader.position = static_cast<size_t>(n) > reader.position ? 0 : reader.position - static_cast<size_t>(n);
}

}  // namespace vortax
