// The header of a WAV file of 16-bit PCM, and completing such a file at its end.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace vortax {

// The most data a RIFF header can count: its RIFF size, the data plus 36, is 32 bits.
inline constexpr uint64_t RiffDataLimit = 0xFFFFFFFFu - 36;

// The header files are written with until their length is known.
inline constexpr size_t RiffHeaderBytes = 44;
// An RF64 header adds the ds64 chunk: 8 bytes of chunk header and 28 of lengths.
inline constexpr size_t Rf64HeaderBytes = RiffHeaderBytes + 36;

// Over the limit, the data moves up in pieces of this size to make room for the ds64 chunk.
inline constexpr uint64_t MovePieceBytes = 1 << 20;

// A header: the first `size` of the bytes.
struct WavHeaderBytes {
    std::array<uint8_t, Rf64HeaderBytes> bytes{};
    size_t size = 0;
};

// The header for `dataBytes` of PCM: RiffHeaderBytes of RIFF or, over `riffLimit`, an RF64
// header whose ds64 chunk holds the 64-bit lengths. Only tests pass another limit.
WavHeaderBytes WavHeader(uint64_t dataBytes, int channels, int frequency, uint64_t riffLimit = RiffDataLimit);

// Puts the header for `dataBytes` in front of a file that starts with RiffHeaderBytes of header
// and then the data, moving the data up first when the header grows. The file must be open
// for reading and writing. False when any step fails.
bool CompleteWavFile(std::FILE* file, uint64_t dataBytes, int channels, int frequency,
                     uint64_t riffLimit = RiffDataLimit);

}  // namespace vortax
