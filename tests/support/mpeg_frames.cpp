#include "mpeg_frames.h"

#include <cstddef>

#include "frame_header.h"

uint32_t HeaderWord(const HeaderFields& f) {
    const int id = f.version_code == 1 ? 1 : 0;
    const int high = f.version_code == 2 ? 0 : 1;
    return (0x7FFu << 21) | (static_cast<uint32_t>(high) << 20) | (static_cast<uint32_t>(id) << 19) |
           (static_cast<uint32_t>(4 - f.layer) << 17) | (f.crc ? 0u : 1u) << 16 |
           (static_cast<uint32_t>(f.bitrate_index) << 12) | (static_cast<uint32_t>(f.frequency_index) << 10) |
           (f.padding ? 1u : 0u) << 9 | (static_cast<uint32_t>(f.mode) << 6);
}

Bytes Frame(const HeaderFields& fields) {
    const uint32_t word = HeaderWord(fields);
    vortax::FrameHeader header;
    Bytes bytes(vortax::ParseHeader(word, header) ? static_cast<size_t>(header.length) : 4, 0);
    for (int i = 0; i < 4; ++i) bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(word >> (24 - 8 * i));
    return bytes;
}

Bytes Frames(const HeaderFields& fields, int count) {
    const Bytes frame = Frame(fields);
    Bytes bytes;
    for (int i = 0; i < count; ++i) bytes.insert(bytes.end(), frame.begin(), frame.end());
    return bytes;
}
