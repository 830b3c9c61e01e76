// Damaged streams: every conformance stream, bent in many seeded ways, goes through the
// whole engine (under the sanitizers in the test build) and comes out without a crash.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "decode_bytes.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Load(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

// One kind of damage a stream suffers on its way: flipped bits, a burst of noise, a hole,
// a stretch repeated, or a cut.
std::vector<uint8_t> Damage(std::vector<uint8_t> bytes, std::mt19937& random) {
    if (bytes.empty()) return bytes;
    auto anywhere = [&] { return static_cast<size_t>(random() % bytes.size()); };
    switch (random() % 5) {
        case 0:
            for (int i = 0; i < 40; ++i) bytes[anywhere()] ^= static_cast<uint8_t>(1u << (random() % 8));
            break;
        case 1: {
            const size_t at = anywhere();
            for (size_t i = at; i < std::min(bytes.size(), at + 300); ++i) bytes[i] = static_cast<uint8_t>(random());
            break;
        }
        case 2: {
            const size_t at = anywhere();
            bytes.erase(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(std::min(bytes.size(), at + 517)));
            break;
        }
        case 3: {
            const size_t at = anywhere();
            const std::vector<uint8_t> piece(bytes.begin() + static_cast<long>(at),
                                             bytes.begin() + static_cast<long>(std::min(bytes.size(), at + 1000)));
            bytes.insert(bytes.begin() + static_cast<long>(anywhere()), piece.begin(), piece.end());
            break;
        }
        default: bytes.resize(anywhere()); break;
    }
    return bytes;
}

TEST(DamagedStreamTest, NoDamageBreaksTheEngine) {
    if (!fs::exists(CONFORMANCE_DIR)) GTEST_SKIP() << "no conformance streams at " << CONFORMANCE_DIR;
    std::mt19937 random(2026);
    int streams = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(CONFORMANCE_DIR)) {
        if (entry.path().extension() != ".bit") continue;
        const std::vector<uint8_t> clean = Load(entry.path());
        const int frames = DecodeBytes(clean.data(), clean.size());
        EXPECT_GT(frames, 0) << entry.path();
        for (int variant = 0; variant < 12; ++variant) {
            const std::vector<uint8_t> damaged = Damage(clean, random);
            // Damage can make frames of noise, but never more than the bytes could hold.
            EXPECT_LE(DecodeBytes(damaged.data(), damaged.size()), static_cast<int>(damaged.size() / 21 + 1));
        }
        ++streams;
    }
    EXPECT_GT(streams, 30);
}

TEST(DamagedStreamTest, TinyAndEmptyInputsEndAtOnce) {
    const uint8_t header[] = {0xFF, 0xFB, 0x90, 0x00};
    EXPECT_EQ(DecodeBytes(nullptr, 0), 0);
    EXPECT_EQ(DecodeBytes(header, 1), 0);
    EXPECT_EQ(DecodeBytes(header, sizeof header), 0);
}

}  // namespace
