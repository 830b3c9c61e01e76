// MPEG audio frames built to order: a header with the fields asked for, then zero bytes to
// the frame's length, which decode to silence.
#pragma once

#include <cstdint>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct HeaderFields {
    int version_code = 1;  // 1 MPEG-1, 0 MPEG-2, 2 MPEG 2.5
    int layer = 3;
    int bitrate_index = 9;
    int frequency_index = 0;
    bool padding = false;
    int mode = 0;  // 3: one channel
    bool crc = false;
};

// The header word for these fields (sync set, nothing checked).
uint32_t HeaderWord(const HeaderFields& fields);

// A whole frame: the header, then zero bytes to the frame's length (the header alone when
// the fields make no valid header).
Bytes Frame(const HeaderFields& fields);

// Frames one after another.
Bytes Frames(const HeaderFields& fields, int count);
