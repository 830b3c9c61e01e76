// The two kinds of file the generator writes: pictures as Windows bitmaps and sounds as
// PCM WAV files.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// An RGB picture; pixels row by row from the top, each 0xRRGGBB.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    Image() = default;
    Image(int w, int h, uint32_t fill = 0) : width(w), height(h), pixels(static_cast<size_t>(w * h), fill) {}
    uint32_t& at(int x, int y) { return pixels[static_cast<size_t>(y * width + x)]; }
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

// Mono 16-bit sound.
struct Wave {
    int rate = 22050;
    std::vector<int16_t> samples;
};

// 24-bit uncompressed bitmap.
void WriteBmp(const std::string& path, const Image& image);
// 16-bit mono PCM with a 44-byte header.
void WriteWav(const std::string& path, const Wave& wave);

// The game's 38 pictures by file name ("Nuvo.bmp", ..., "kv001.bmp": 640 x 480).
std::vector<std::pair<std::string, Image>> DrawPictures();
// The game's 17 sounds by file name ("kvstep.wav", ...).
std::vector<std::pair<std::string, Wave>> SynthesizeSounds();
