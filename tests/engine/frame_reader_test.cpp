#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "bitstream.h"
#include "engine_fixture.h"
#include "frame_reader.h"
#include "state.h"

namespace {

bool Valid(const HeaderFields& fields) {
    FrameHeader header;
    return ParseHeader(HeaderWord(fields), header);
}

TEST(FrameHeaderTest, EveryInvalidFieldRejectsTheHeader) {
    const HeaderFields good;
    ASSERT_TRUE(Valid(good));
    auto with = [&](auto change) {
        HeaderFields fields = good;
        change(fields);
        return Valid(fields);
    };
    EXPECT_FALSE(with([](HeaderFields& f) { f.bitrate_index = 0; }));   // free format
    EXPECT_FALSE(with([](HeaderFields& f) { f.bitrate_index = 15; }));
    EXPECT_FALSE(with([](HeaderFields& f) { f.frequency_index = 3; }));
    EXPECT_FALSE(with([](HeaderFields& f) { f.frequency_index = 1, f.padding = true; }));  // 48 kHz
    EXPECT_TRUE(with([](HeaderFields& f) { f.padding = true; }));                          // 44.1 kHz
    EXPECT_FALSE(with([](HeaderFields& f) { f.version_code = 2, f.layer = 2; }));          // MPEG 2.5 is layer III only
    EXPECT_TRUE(with([](HeaderFields& f) { f.version_code = 2; }));
    FrameHeader header;
    EXPECT_FALSE(ParseHeader(HeaderWord(good) & ~(3u << 17), header));  // layer bits 0
    EXPECT_FALSE(ParseHeader((HeaderWord(good) & ~(3u << 19)) | (1u << 19), header));  // version code 3
    EXPECT_FALSE(ParseHeader(HeaderWord(good) & ~(1u << 21), header));  // sync
}

TEST(FrameHeaderTest, LayerTwoBitRatesDependOnTheMode) {
    HeaderFields fields;
    fields.layer = 2;
    for (int index : {1, 2, 3, 5}) {
        fields.bitrate_index = index;
        fields.mode = MODE_STEREO;
        EXPECT_FALSE(Valid(fields)) << index;
        fields.mode = MODE_SINGLE_CHANNEL;
        EXPECT_TRUE(Valid(fields)) << index;
    }
    for (int index = 11; index <= 14; ++index) {
        fields.bitrate_index = index;
        fields.mode = MODE_SINGLE_CHANNEL;
        EXPECT_FALSE(Valid(fields)) << index;
        fields.mode = MODE_JOINT_STEREO;
        EXPECT_TRUE(Valid(fields)) << index;
    }
}

TEST(FrameHeaderTest, LengthsFollowTheLayerAndVersion) {
    const struct {
        HeaderFields fields;
        int length, sideInfo;
    } cases[] = {
        {{1, 3, 9, 0, false, 0, false}, 417, 32},  // 128 kbit/s, 44.1 kHz
        {{1, 3, 9, 0, true, 3, false}, 418, 17},
        {{1, 2, 12, 1, false, 0, false}, 768, 0},  // 256 kbit/s, 48 kHz
        {{1, 1, 14, 2, false, 0, false}, 672, 0},  // 448 kbit/s, 32 kHz
        {{1, 1, 1, 0, true, 0, false}, 36, 0},     // 32 kbit/s, 44.1 kHz, padded
        {{0, 3, 9, 0, false, 0, false}, 261, 17},  // 80 kbit/s, 22.05 kHz
        {{2, 3, 1, 2, false, 3, false}, 72, 9},    // 8 kbit/s, 8 kHz
    };
    for (const auto& c : cases) {
        FrameHeader header;
        ASSERT_TRUE(ParseHeader(HeaderWord(c.fields), header));
        EXPECT_EQ(header.length, c.length) << header.bitrate << " kbit/s, " << header.frequency << " Hz";
        EXPECT_EQ(header.side_info, c.sideInfo);
    }
}

TEST(BitReaderTest, BitsComeMostSignificantFirstAndCanBePutBack) {
    const uint8_t data[] = {0b10110011, 0b01011100, 0xFF, 0x00, 0x12, 0x34};
    BitReader bits;
    ResetBits(bits, data, sizeof data);
    EXPECT_EQ(GetBits(bits, 1), 1u);
    EXPECT_EQ(GetBits(bits, 3), 0b011u);
    EXPECT_EQ(GetBits(bits, 6), 0b001101u);
    PutBackBits(bits, 6);
    EXPECT_EQ(GetBits(bits, 10), 0b0011010111u);
    EXPECT_EQ(GetBits(bits, 22), 0b0011111111000000000001u);
    EXPECT_EQ(BitsRead(bits), 36u);
    ResetBits(bits, data, sizeof data);
    EXPECT_EQ(GetBits(bits, 32), 0xB35CFF00u);
    EXPECT_EQ(GetBits(bits, 16), 0x1234u);
    EXPECT_EQ(GetBits(bits, 8), 0u);  // past the end
}

class FrameReaderTest : public EngineTest {
protected:
    // Opens a stream and counts the frames the reader confirms.
    int CountFrames(const Bytes& stream, int32_t* last = nullptr) {
        if (OpenInput(Write("stream.mp3", stream)) != 0) return -1;
        FrameHeader header;
        int frames = 0;
        int32_t code = 0;
        while ((code = ReadNextFrame(context, context->state->reader, header)) == 0) ++frames;
        if (last) *last = code;
        input_close(context);
        return frames;
    }
};

TEST_F(FrameReaderTest, GarbageBeforeAndBetweenFramesIsSkipped) {
    Bytes stream{'j', 'u', 'n', 'k', 0xFF, 0x00, 0x12};
    const Bytes frames = Frames({}, 3);
    stream.insert(stream.end(), frames.begin(), frames.end());
    int32_t last = 0;
    EXPECT_EQ(CountFrames(stream, &last), 3);
    EXPECT_EQ(last, VORTAX_INPUT_END);
    // A first frame that starts late teaches the probe nothing.
    EXPECT_EQ(OpenInput(Write("late.mp3", stream)), 0);
    EXPECT_EQ(context->stream.changed, 0);
    EXPECT_EQ(context->stream.frequency, 0);
}

TEST_F(FrameReaderTest, AFrameNeedsTheNextHeaderOrTheEndToCount) {
    EXPECT_EQ(CountFrames(Frames({}, 1)), 1);
    Bytes broken = Frames({}, 2);
    broken.push_back(0x00);  // the third header is cut to garbage
    broken.push_back(0x11);
    broken.push_back(0x22);
    broken.push_back(0x33);
    broken.push_back(0x44);
    EXPECT_EQ(CountFrames(broken), 1);
    // A body cut short at the end of the file is never a frame.
    Bytes cut = Frames({}, 3);
    cut.resize(cut.size() - 100);
    EXPECT_EQ(CountFrames(cut), 2);
}

TEST_F(FrameReaderTest, ATagAfterTheLastFrameEndsTheStream) {
    for (const char* tag : {"TAG", "APETAGEX", "ID3"}) {
        Bytes stream = Frames({}, 3);
        stream.insert(stream.end(), tag, tag + std::strlen(tag));
        stream.resize(stream.size() + 128, 0xFF);  // tag data that looks like sync
        EXPECT_EQ(CountFrames(stream), 3) << tag;
    }
}

// An ID3v2 tag whose picture holds something like a frame header.
Bytes Id3Tag(size_t body) {
    Bytes tag{'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0};
    tag[8] = static_cast<uint8_t>(body >> 7);
    tag[9] = static_cast<uint8_t>(body & 0x7F);
    const Bytes fake = Frame({});
    for (size_t i = 0; i < body; ++i) tag.push_back(fake[i % fake.size()]);
    return tag;
}

TEST_F(FrameReaderTest, AnId3TagAtTheStartIsSkippedWholeByItsLength) {
    Bytes stream = Id3Tag(1000);
    HeaderFields fields;
    fields.frequency_index = 1;  // 48 kHz, unlike the frames in the tag
    const Bytes frames = Frames(fields, 2);
    stream.insert(stream.end(), frames.begin(), frames.end());
    EXPECT_EQ(CountFrames(stream), 2);
    ASSERT_EQ(OpenInput(Write("tagged.mp3", stream)), 0);
    EXPECT_EQ(context->stream.frequency, 48000);
}

TEST_F(FrameReaderTest, MainDataComesFromTheReservoir) {
    const Bytes stream = Frames({}, 3);
    ASSERT_EQ(OpenInput(Write("l3.mp3", stream)), 0);
    FrameReader& reader = context->state->reader;
    FrameHeader header;
    BitReader bits;
    ASSERT_EQ(ReadNextFrame(context, reader, header), 0);
    const int own = header.length - 4 - header.side_info;
    EXPECT_TRUE(MainData(reader, 0, bits));
    EXPECT_FALSE(MainData(reader, 1, bits));  // nothing before the first frame
    ASSERT_EQ(ReadNextFrame(context, reader, header), 0);
    EXPECT_TRUE(MainData(reader, own, bits));
    EXPECT_FALSE(MainData(reader, own + 1, bits));
}

struct ManifestEntry {
    std::string name;
    int frames = 0;
};

std::vector<ManifestEntry> Manifest() {
    std::vector<ManifestEntry> entries;
    std::ifstream in(std::string(CONFORMANCE_DIR) + "/MANIFEST.tsv");
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        ManifestEntry entry;
        std::string skip;
        fields >> entry.name >> skip >> skip >> skip >> skip >> entry.frames;
        entries.push_back(entry);
    }
    return entries;
}

TEST_F(FrameReaderTest, FindsEveryFrameOfTheConformanceStreams) {
    if (!std::filesystem::exists(CONFORMANCE_DIR)) GTEST_SKIP() << "no conformance streams at " << CONFORMANCE_DIR;
    const std::vector<ManifestEntry> entries = Manifest();
    ASSERT_GT(entries.size(), 30u);
    for (const ManifestEntry& entry : entries) {
        ASSERT_EQ(OpenInput(std::string(CONFORMANCE_DIR) + "/" + entry.name + ".bit"), 0) << entry.name;
        FrameHeader header;
        int frames = 0;
        while (ReadNextFrame(context, context->state->reader, header) == 0) ++frames;
        EXPECT_EQ(frames, entry.frames) << entry.name;
        input_close(context);
    }
}

}  // namespace
