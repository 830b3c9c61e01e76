#include "conformance.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

std::vector<ConformanceEntry> ConformanceStreams() {
    std::vector<ConformanceEntry> streams;
    const std::string folder = CONFORMANCE_DIR;
    std::ifstream in(folder + "/MANIFEST.tsv");
    std::string line;
    std::getline(in, line);  // the column names
    // name, layer, mpeg, rate_hz, modes, frames, decoded_samples, intensity_frames,
    // ms_frames, ref_samples, ref_offset
    while (std::getline(in, line)) {
        std::vector<std::string> columns;
        std::istringstream fields(line);
        for (std::string column; std::getline(fields, column, '\t');) columns.push_back(column);
        if (columns.size() < 11) continue;
        ConformanceEntry entry;
        entry.name = columns[0];
        entry.frequency = std::stoi(columns[3]);
        entry.modes = columns[4];
        entry.stereo = entry.modes.find("mono") == std::string::npos;
        entry.frames = std::stoll(columns[5]);
        entry.decoded = std::stoll(columns[6]);
        entry.offset = std::stoll(columns[10]);
        entry.stream = folder + "/" + entry.name + ".bit";
        entry.reference = folder + "/" + entry.name + ".pcm";
        streams.push_back(entry);
    }
    return streams;
}

std::vector<int16_t> PcmOf(const void* bytes, size_t size) {
    const auto* b = static_cast<const uint8_t*>(bytes);
    std::vector<int16_t> samples(size / 2);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(b[2 * i] | b[2 * i + 1] << 8);
    return samples;
}

std::vector<int16_t> ReadPcm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    return PcmOf(bytes.data(), bytes.size());
}

Comparison Compare(const std::vector<int16_t>& decoded, size_t offset, const std::vector<double>& expected) {
    Comparison result;
    if (offset > decoded.size()) return result;
    const size_t common = std::min(decoded.size() - offset, expected.size());
    double noise = 0;
    for (size_t i = 0; i < common; ++i) {
        if (std::isnan(expected[i])) continue;
        const double difference = decoded[i + offset] - expected[i];
        result.worst = std::max(result.worst, static_cast<int>(std::ceil(std::abs(difference))));
        noise += difference * difference;
        ++result.compared;
    }
    result.psnr = noise == 0 ? 200.0 : 10 * std::log10(32767.0 * 32767.0 / (noise / static_cast<double>(result.compared)));
    return result;
}

Comparison Compare(const std::vector<int16_t>& decoded, size_t offset, const std::vector<int16_t>& expected) {
    return Compare(decoded, offset, std::vector<double>(expected.begin(), expected.end()));
}
