// The conformance streams the tests carry with them: the manifest that describes them, their
// reference PCM, and how close a decoder's output comes to it.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

struct ConformanceEntry {
    std::string name;
    int frequency = 0;     // Hz
    std::string modes;     // the channel modes its frames use, such as "joint,stereo"
    bool stereo = false;   // every frame has two channels
    int64_t frames = 0;    // the frames a reader finds and confirms
    int64_t decoded = 0;   // samples over all channels, every confirmed frame
    int64_t offset = 0;    // decoded samples the reference leaves out at its start
    std::string stream;    // the path of NAME.bit
    std::string reference; // the path of NAME.pcm
};

// A stream names itself in test output.
inline void PrintTo(const ConformanceEntry& entry, std::ostream* out) { *out << entry.name; }

// Every stream of the manifest, in its order; empty when the folder is missing.
std::vector<ConformanceEntry> ConformanceStreams();

// 16-bit little-endian samples, as the references hold them.
std::vector<int16_t> ReadPcm(const std::string& path);
std::vector<int16_t> PcmOf(const void* bytes, size_t size);

struct Comparison {
    int worst = 0;      // the largest difference of one sample
    double psnr = 0;    // dB over the samples compared, peak 32767; 200 when they agree
    size_t compared = 0;
};

// Compares `decoded` from `offset` on with `expected` over the samples both hold; an
// expected NaN is left out.
Comparison Compare(const std::vector<int16_t>& decoded, size_t offset, const std::vector<double>& expected);
Comparison Compare(const std::vector<int16_t>& decoded, size_t offset, const std::vector<int16_t>& expected);
