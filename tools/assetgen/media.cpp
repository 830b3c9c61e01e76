#include "media.h"

#include <fstream>
#include <stdexcept>

namespace {

void Put(std::ofstream& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::ofstream Open(const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    if (!out) throw std::runtime_error("cannot write " + path);
    return out;
}

}  // namespace

void WriteBmp(const std::string& path, const Image& image) {
    const uint32_t rowBytes = static_cast<uint32_t>((image.width * 3 + 3) & ~3);
    const uint32_t dataBytes = rowBytes * static_cast<uint32_t>(image.height);
    std::ofstream out = Open(path);
    out.put('B');
    out.put('M');
    Put(out, 54 + dataBytes, 4);
    Put(out, 0, 4);
    Put(out, 54, 4);
    Put(out, 40, 4);
    Put(out, static_cast<uint32_t>(image.width), 4);
    Put(out, static_cast<uint32_t>(image.height), 4);  // positive: rows bottom up
    Put(out, 1, 2);
    Put(out, 24, 2);
    Put(out, 0, 4);
    Put(out, dataBytes, 4);
    Put(out, 2835, 4);
    Put(out, 2835, 4);
    Put(out, 0, 4);
    Put(out, 0, 4);
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) Put(out, image.at(x, y), 3);  // blue, green, red
        for (uint32_t pad = static_cast<uint32_t>(image.width * 3); pad < rowBytes; ++pad) out.put(0);
    }
}

void WriteWav(const std::string& path, const Wave& wave) {
    const auto dataBytes = static_cast<uint32_t>(wave.samples.size() * 2);
    std::ofstream out = Open(path);
    out.write("RIFF", 4);
    Put(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    Put(out, 16, 4);
    Put(out, 1, 2);  // PCM
    Put(out, 1, 2);  // mono
    Put(out, static_cast<uint32_t>(wave.rate), 4);
    Put(out, static_cast<uint32_t>(wave.rate * 2), 4);
    Put(out, 2, 2);
    Put(out, 16, 2);
    out.write("data", 4);
    Put(out, dataBytes, 4);
    for (int16_t sample : wave.samples) Put(out, static_cast<uint16_t>(sample), 2);
}
