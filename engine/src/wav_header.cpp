#include "wav_header.h"

#include <fcntl.h>
#include <sys/types.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace vortax {

namespace {

constexpr uint32_t Ds64BodyBytes = 28;
constexpr uint32_t UnknownLength = 0xFFFFFFFF;  // what RF64 puts in the 32-bit length fields

// Moves `length` bytes at `from` up by `by`, from the end backwards so that every piece is
// read before anything lands on it.
bool MoveUp(std::FILE* file, uint64_t from, uint64_t length, uint64_t by) {
    // The room is claimed first: a full disk then stops the move before it overwrites any data.
    if (std::fflush(file) != 0 || posix_fallocate(fileno(file), 0, static_cast<off_t>(from + length + by)) != 0)
        return false;
    const std::unique_ptr<uint8_t[]> piece(new (std::nothrow) uint8_t[MovePieceBytes]);
    if (!piece) return false;
    for (uint64_t end = from + length; end > from;) {
        const uint64_t size = std::min(MovePieceBytes, end - from);
        end -= size;
        if (fseeko(file, static_cast<off_t>(end), SEEK_SET) != 0 || std::fread(piece.get(), 1, size, file) != size ||
            fseeko(file, static_cast<off_t>(end + by), SEEK_SET) != 0 ||
            std::fwrite(piece.get(), 1, size, file) != size)
            return false;
    }
    return true;
}

}  // namespace

WavHeaderBytes WavHeader(uint64_t dataBytes, int channels, int frequency, uint64_t riffLimit) {
    WavHeaderBytes header;
    const auto tag = [&header](const char* text) {
        std::memcpy(header.bytes.data() + header.size, text, 4);
        header.size += 4;
    };
    const auto number = [&header](uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) header.bytes[header.size++] = static_cast<uint8_t>(value >> (8 * i));
    };
    const bool rf64 = dataBytes > riffLimit;
    const auto block = static_cast<uint64_t>(channels) * 2;
    tag(rf64 ? "RF64" : "RIFF");
    number(rf64 ? UnknownLength : dataBytes + RiffHeaderBytes - 8, 4);  // all after these 8 bytes
    tag("WAVE");
    if (rf64) {
        tag("ds64");
        number(Ds64BodyBytes, 4);
        number(dataBytes + Rf64HeaderBytes - 8, 8);  // the RIFF size
        number(dataBytes, 8);
        number(dataBytes / block, 8);  // sample frames
        number(0, 4);                  // no table of other long chunks
    }
    tag("fmt ");
    number(16, 4);
    number(1, 2);  // integer PCM
    number(static_cast<uint64_t>(channels), 2);
    number(static_cast<uint64_t>(frequency), 4);
    number(static_cast<uint64_t>(frequency) * block, 4);
    number(block, 2);
    number(16, 2);
    tag("data");
    number(rf64 ? UnknownLength : dataBytes, 4);
    return header;
}

bool CompleteWavFile(std::FILE* file, uint64_t dataBytes, int channels, int frequency, uint64_t riffLimit) {
    const WavHeaderBytes header = WavHeader(dataBytes, channels, frequency, riffLimit);
    if (header.size > RiffHeaderBytes && !MoveUp(file, RiffHeaderBytes, dataBytes, header.size - RiffHeaderBytes))
        return false;
    return std::fseek(file, 0, SEEK_SET) == 0 && std::fwrite(header.bytes.data(), 1, header.size, file) == header.size;
}

}  // namespace vortax
