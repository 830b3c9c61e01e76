// The layer III Huffman code tables of ISO/IEC 11172-3.
#pragma once

#include <cstdint>

namespace vortax {

// One code table: the code word and its length in bits for every value it codes. Pair
// tables code (x, y) at x * size + y; the count1 tables code (v, w, x, y) at
// v * 8 + w * 4 + x * 2 + y.
struct HuffmanCodeTable {
    int size;  // values per coordinate (pair tables), or 16 entries (count1 tables)
    const uint16_t* codes;
    const uint8_t* lengths;
};

// What table_select 0..31 chooses: a code table and the linbits added to the value 15.
// Tables 0, 4 and 14 code nothing (no code table): their lines are 0 and take no bits.
struct BigValueTable {
    const HuffmanCodeTable* code;
    int linbits;
};

extern const BigValueTable BigValueTables[32];

// Count1 table A (count1table_select 0) and table B (1).
extern const HuffmanCodeTable Count1Tables[2];

}  // namespace vortax
