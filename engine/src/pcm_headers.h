// The headers of the files of 16-bit PCM the file output writes (WAV, AIFF, Sun/NeXT .snd),
// and completing such a file at its end.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "metadata.h"

namespace vortax {

enum class PcmFormat { Raw, Wav, Aiff, Sun };

// The byte order of a format's samples and header numbers; raw PCM keeps the host's.
std::endian ByteOrder(PcmFormat format);

// The length of a stream that cannot go back to complete its header.
inline constexpr uint64_t UnknownLength = UINT64_MAX;

// The most data a RIFF header can count: its RIFF size, the data plus 36 and the tag
// chunks, is 32 bits.
inline constexpr uint64_t RiffDataLimit = 0xFFFFFFFFu - 36;

// A WAV header up to that limit, without tags.
inline constexpr size_t RiffHeaderBytes = 44;
// An RF64 header adds the ds64 chunk: 8 bytes of chunk header and 28 of lengths.
inline constexpr size_t Rf64HeaderBytes = RiffHeaderBytes + 36;

// Over the limit, the data moves up in pieces of this size to make room for the ds64 chunk.
inline constexpr uint64_t MovePieceBytes = 1 << 20;

using PcmHeaderBytes = std::vector<uint8_t>;

// The chunks that carry a stream's tags in a WAV file: a LIST chunk of INFO items, the
// program that wrote the file among them as `software`, then an "id3 " chunk holding the
// stream's own ID3v2 tag when it has one.
std::vector<uint8_t> WavTagChunks(const StreamTags& tags, std::string_view software);

// The header for `dataBytes` of PCM (UnknownLength for a stream), none for raw PCM. A WAV
// header holds the `tagChunks` between its "fmt " and "data" chunks; with more data and
// tag chunks than `riffLimit` it is RF64, whose ds64 chunk holds the 64-bit lengths. Only
// tests pass another limit.
PcmHeaderBytes PcmHeader(PcmFormat format, uint64_t dataBytes, int channels, int frequency,
                         const std::vector<uint8_t>& tagChunks = {}, uint64_t riffLimit = RiffDataLimit);

// Puts `header` in front of the `dataBytes` of data of a file that starts with `written`
// bytes of header, moving the data up first when the header is longer. The file must be
// open for reading and writing when it is. False when any step fails.
bool CompletePcmFile(std::FILE* file, const PcmHeaderBytes& header, size_t written, uint64_t dataBytes);

}  // namespace vortax
