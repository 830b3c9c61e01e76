// The headers of the files of 16-bit PCM the file output writes (WAV, AIFF, Sun/NeXT .snd),
// and completing such a file at its end.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace vortax {

enum class PcmFormat { Raw, Wav, Aiff, Sun };

// The byte order of a format's samples and header numbers; raw PCM keeps the host's.
std::endian ByteOrder(PcmFormat format);

// The length of a stream that cannot go back to complete its header.
inline constexpr uint64_t UnknownLength = UINT64_MAX;

// The most data a RIFF header can count: its RIFF size, the data plus 36, is 32 bits.
inline constexpr uint64_t RiffDataLimit = 0xFFFFFFFFu - 36;

// A WAV header up to that limit.
inline constexpr size_t RiffHeaderBytes = 44;
// An RF64 header, the longest, adds the ds64 chunk: 8 bytes of chunk header and 28 of lengths.
inline constexpr size_t Rf64HeaderBytes = RiffHeaderBytes + 36;

// Over the limit, the data moves up in pieces of this size to make room for the ds64 chunk.
inline constexpr uint64_t MovePieceBytes = 1 << 20;

// A header: the first `size` of the bytes.
struct PcmHeaderBytes {
    std::array<uint8_t, Rf64HeaderBytes> bytes{};
    size_t size = 0;
};

// The header for `dataBytes` of PCM (UnknownLength for a stream), none for raw PCM. A WAV
// header over `riffLimit` is RF64, whose ds64 chunk holds the 64-bit lengths; only tests
// pass another limit.
PcmHeaderBytes PcmHeader(PcmFormat format, uint64_t dataBytes, int channels, int frequency,
                         uint64_t riffLimit = RiffDataLimit);

// Puts `header` in front of the `dataBytes` of data of a file that starts with `written`
// bytes of header, moving the data up first when the header is longer. The file must be
// open for reading and writing when it is. False when any step fails.
bool CompletePcmFile(std::FILE* file, const PcmHeaderBytes& header, size_t written, uint64_t dataBytes);

}  // namespace vortax
