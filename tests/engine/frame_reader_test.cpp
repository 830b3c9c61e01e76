#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "bitstream.h"
#include "conformance.h"
#include "engine_fixture.h"
#include "frame_reader.h"
#include "state.h"

using namespace vortax;

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
    EXPECT_FALSE(with([](HeaderFields& f) { f.bitrate_index = 15; }));
    EXPECT_FALSE(with([](HeaderFields& f) { f.frequency_index = 3; }));
    EXPECT_FALSE(with([](HeaderFields& f) { f.version_code = 2, f.layer = 2; }));  // MPEG 2.5 is layer III only
    EXPECT_TRUE(with([](HeaderFields& f) { f.version_code = 2; }));
    EXPECT_TRUE(with([](HeaderFields& f) { f.bitrate_index = 0; }));  // free format
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

TEST(FrameHeaderTest, LengthsFollowTheLayerVersionAndPadding) {
    const struct {
        HeaderFields fields;
        int length, sideInfo;
    } cases[] = {
        {{1, 3, 9, 0, false, 0, false}, 417, 32},  // 128 kbit/s, 44.1 kHz
        {{1, 3, 9, 0, true, 3, false}, 418, 17},
        {{1, 3, 9, 1, true, 0, false}, 385, 32},   // 128 kbit/s, 48 kHz, padded
        {{1, 2, 12, 1, false, 0, false}, 768, 0},  // 256 kbit/s, 48 kHz
        {{1, 2, 12, 2, true, 0, false}, 1153, 0},  // 256 kbit/s, 32 kHz, padded
        {{1, 1, 14, 2, false, 0, false}, 672, 0},  // 448 kbit/s, 32 kHz
        {{1, 1, 14, 1, true, 0, false}, 452, 0},   // 448 kbit/s, 48 kHz, padded by four bytes
        {{1, 1, 1, 0, true, 0, false}, 36, 0},     // 32 kbit/s, 44.1 kHz, padded
        {{0, 3, 9, 0, false, 0, false}, 261, 17},  // 80 kbit/s, 22.05 kHz
        {{0, 3, 9, 1, true, 0, false}, 241, 17},   // 80 kbit/s, 24 kHz, padded
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
    // Opens a stream and gives the headers of the frames the reader takes.
    std::vector<FrameHeader> ReadFrames(const Bytes& stream, int32_t* last = nullptr) {
        std::vector<FrameHeader> frames;
        if (OpenInput(Write("stream.mp3", stream)) != 0) return frames;
        FrameHeader header;
        int32_t code = 0;
        while ((code = ReadNextFrame(context, context->state->reader, header)) == 0) frames.push_back(header);
        if (last) *last = code;
        input_close(context);
        return frames;
    }
    int CountFrames(const Bytes& stream) { return static_cast<int>(ReadFrames(stream).size()); }
};

// Frames whose padding bit is set on every other one.
Bytes PaddedFrames(HeaderFields fields, int count) {
    Bytes bytes;
    for (int i = 0; i < count; ++i) {
        fields.padding = i % 2 == 1;
        bytes = Joined({bytes, Frame(fields)});
    }
    return bytes;
}

// The same frames marked free format: bit-rate index 0 in every header.
Bytes FreeFormat(Bytes stream) {
    FrameHeader header;
    for (size_t at = 0; at + 4 <= stream.size(); at += static_cast<size_t>(header.length)) {
        if (!ParseHeader(WordAt(&stream[at]), header)) break;
        stream[at + 2] &= 0x0F;
    }
    return stream;
}

TEST_F(FrameReaderTest, GarbageBeforeAndBetweenFramesIsSkipped) {
    const Bytes junk{'j', 'u', 'n', 'k', 0xFF, 0x00, 0x12};
    const Bytes stream = Joined({junk, Frames({}, 3), junk, Frames({}, 2)});
    int32_t last = 0;
    EXPECT_EQ(ReadFrames(stream, &last).size(), 5u);
    EXPECT_EQ(last, VORTAX_INPUT_END);
}

TEST_F(FrameReaderTest, AStreamFoundBySearchingNeedsARunOfFrames) {
    const Bytes junk(10, 'x');
    HeaderFields other;
    other.frequency_index = 1;
    const struct {
        Bytes stream;
        int frames;
    } cases[] = {
        {Joined({junk, Frames({}, 3), junk}), 3},
        {Joined({junk, Frames({}, 2), junk}), 0},
        {Joined({junk, Frames({}, 2)}), 2},             // the end closes the run
        {Joined({junk, Frames({}, 2), Id3v2Tag(0)}), 2},  // and so does a tag
        {Joined({junk, Frame({})}), 0},
        {Frames({}, 1), 1},                       // a file of one frame
        {Joined({Id3v2Tag(20), Frame({})}), 1},   // also after its tags
        {Joined({Frames({}, 3), Frame(other)}), 3},  // a format changes only for a run of frames
        // Inside a stream, a frame found by searching needs only the next header.
        {Joined({Frames({}, 3), junk, Frame({}), junk, Frames({}, 3)}), 6},
    };
    for (const auto& c : cases) EXPECT_EQ(CountFrames(c.stream), c.frames) << ::testing::PrintToString(c.stream.size());
    // A body cut short at the end of the file is never a frame.
    Bytes cut = Frames({}, 3);
    cut.resize(cut.size() - 100);
    EXPECT_EQ(CountFrames(cut), 2);
}

TEST_F(FrameReaderTest, WhateverFollowsTheLastFrameNeverCostsIt) {
    const Bytes after[] = {
        Joined({{'T', 'A', 'G'}, Bytes(125, 0xFF)}),
        Joined({{'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'}, Bytes(128, 0xFF)}),  // no tag: junk that looks like sync
        Joined({{'I', 'D', '3'}, Bytes(128, 0xFF)}),
        Bytes(700, 0),
        Bytes{'j', 'u', 'n', 'k', 0x12, 0x34, 0x56},
    };
    for (const Bytes& tail : after) EXPECT_EQ(CountFrames(Joined({Frames({}, 3), tail})), 3) << tail.size();
}

TEST_F(FrameReaderTest, ATagInJunkCountsOnlyWhereItsEndIsSeen) {
    const Bytes junk(10, 'x');
    const Bytes wrongSize = {'I', 'D', '3', 4, 0, 0, 0, 0, 3, 0x74};  // 500 bytes: into the second frame
    EXPECT_EQ(CountFrames(Joined({junk, wrongSize, Frames({}, 6)})), 6);
    // A real one is passed whole, with the frames its picture seems to hold.
    EXPECT_EQ(CountFrames(Joined({junk, Id3v2Tag(2000), Frames({}, 6)})), 6);
}

TEST_F(FrameReaderTest, NothingNearTheEndCostsTheFramesAfterIt) {
    HeaderFields longer;
    longer.bitrate_index = 14;  // a frame that would run past the end of the input
    const uint32_t word = HeaderWord(longer);
    const Bytes before[] = {
        {static_cast<uint8_t>(word >> 24), static_cast<uint8_t>(word >> 16), static_cast<uint8_t>(word >> 8),
         static_cast<uint8_t>(word)},
        {'L', 'Y', 'R', 'I', 'C', 'S', 'B', 'E', 'G', 'I', 'N', 'x'},  // never ended
    };
    for (const Bytes& stray : before) EXPECT_EQ(CountFrames(Joined({Frames({}, 3), stray, Frames({}, 2)})), 5);
}

Bytes Little32(size_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 24)};
}

// An APE tag of one item, with its header or (version 1) without.
Bytes ApeTag(bool header, const Bytes& value) {
    const Bytes item = Joined({Little32(value.size()), Little32(0), {'C', 'o', 'v', 'e', 'r', 0}, value});
    // The flags: bit 31 the tag has a header, bit 29 this is it.
    auto part = [&](uint32_t flags) {
        return Joined({{'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'}, Little32(header ? 2000 : 1000), Little32(item.size() + 32),
                       Little32(1), Little32(flags), Bytes(8, 0)});
    };
    return header ? Joined({part(0xA0000000), item, part(0x80000000)}) : Joined({item, part(0)});
}

// A Lyrics3 block whose lyrics hold two frames.
Bytes Lyrics(bool version2) {
    const std::string words = "[00:01]la la la";
    const Bytes lyrics = Joined({Bytes(words.begin(), words.end()), Frames({}, 2)});
    auto text = [](const std::string& t) { return Bytes(t.begin(), t.end()); };
    if (!version2) return Joined({text("LYRICSBEGIN"), lyrics, text("LYRICSEND")});
    char size[8];
    std::snprintf(size, sizeof size, "%05zu", lyrics.size());
    const Bytes fields = Joined({text("LYRICSBEGININD0000210LYR"), text(size), lyrics});
    std::snprintf(size, sizeof size, "%06zu", fields.size());
    return Joined({fields, text(size), text("LYRICS200")});
}

TEST_F(FrameReaderTest, TagsBetweenFramesArePassedWhole) {
    const Bytes frame = Frame({});
    const Bytes id3v1 = Joined({{'T', 'A', 'G'}, Bytes(frame.begin(), frame.begin() + 125)});
    const struct {
        const char* name;
        Bytes tag;
    } tags[] = {
        {"ID3v2", Id3v2Tag(2000)},
        {"ID3v2 with a footer", Id3v2Tag(2000, true)},
        {"ID3v1", id3v1},
        {"APE", ApeTag(true, Frames({}, 2))},
        {"APE version 1", ApeTag(false, {'H', 'e', 'l', 'l', 'o'})},
        {"Lyrics3", Lyrics(false)},
        {"Lyrics3 version 2", Lyrics(true)},
    };
    HeaderFields after;
    after.frequency_index = 1;  // 48 kHz, unlike the frames in the tags
    for (const auto& t : tags) {
        const std::vector<FrameHeader> frames = ReadFrames(Joined({Frames({}, 3), t.tag, Frames(after, 3)}));
        ASSERT_EQ(frames.size(), 6u) << t.name;
        EXPECT_EQ(frames[3].frequency, 48000) << t.name;
    }
}

TEST_F(FrameReaderTest, TheProbeFindsTheFirstFrameBehindTagsAndSomeJunk) {
    HeaderFields fields;
    fields.frequency_index = 1;  // 48 kHz, unlike the frames in the tags
    const Bytes frames = Frames(fields, 2);
    ASSERT_EQ(OpenInput(Write("near.mp3", Joined({Id3v2Tag(1000), Id3v2Tag(3000, true), Bytes(20000, 0), frames}))), 0);
    EXPECT_EQ(context->stream.frequency, 48000);
    // Junk too long to probe hides the stream from it, not from the reader.
    const Bytes far = Joined({Id3v2Tag(1000), Bytes(200000, 0), frames});
    ASSERT_EQ(OpenInput(Write("far.mp3", far)), 0);
    EXPECT_EQ(context->stream.frequency, 0);
    EXPECT_EQ(CountFrames(far), 2);
}

TEST_F(FrameReaderTest, PaddedFramesAt48And32KilohertzAreRead) {
    for (int layer = 1; layer <= 3; ++layer) {
        for (int frequency : {1, 2}) {
            HeaderFields fields;
            fields.layer = layer;
            fields.frequency_index = frequency;
            EXPECT_EQ(CountFrames(PaddedFrames(fields, 6)), 6) << "layer " << layer << ", index " << frequency;
        }
    }
}

TEST_F(FrameReaderTest, FreeFormatFramesAreMeasuredOnTheNextHeader) {
    for (int layer = 1; layer <= 3; ++layer) {
        HeaderFields fields;
        fields.layer = layer;
        fields.frequency_index = 1;  // 48 kHz: whole slots at every bit rate
        const std::vector<FrameHeader> fixed = ReadFrames(PaddedFrames(fields, 6));
        const std::vector<FrameHeader> free = ReadFrames(FreeFormat(PaddedFrames(fields, 6)));
        ASSERT_EQ(free.size(), 6u) << "layer " << layer;
        for (size_t i = 0; i < free.size(); ++i) {
            EXPECT_EQ(free[i].bitrate_index, 0);
            EXPECT_EQ(free[i].length, fixed[i].length) << "layer " << layer << ", frame " << i;
            EXPECT_EQ(free[i].bitrate, fixed[i].bitrate) << "layer " << layer << ", frame " << i;
        }
    }
}

TEST_F(FrameReaderTest, FreeFormatStreamsDecodeLikeTheirFixedRateTwins) {
    // Layer II at MPEG-1 rates picks its allocation table by the bit rate of a channel,
    // which a free-format header carries only in its length.
    const struct {
        const char* encoder;
        const char* command;
        int rate;
    } encoders[] = {{"twolame", "twolame --quiet -b 192", 44100}, {"lame", "lame --quiet -b 96", 24000}};
    for (const auto& e : encoders) {
        if (std::system((std::string("command -v ") + e.encoder + " >/dev/null 2>&1").c_str()) != 0)
            GTEST_SKIP() << e.encoder << " is not installed";
        const std::string wav = (folder / "in.wav").string();
        const std::string fixed = (folder / (std::string(e.encoder) + ".mp3")).string();
        WriteClick(wav, e.rate, 2, 9000, 4000);
        ASSERT_EQ(std::system((std::string(e.command) + " '" + wav + "' '" + fixed + "'").c_str()), 0);
        const std::string free = Write(std::string(e.encoder) + "-free.mp3", FreeFormat(Read(fixed)));
        const std::vector<int16_t> decoded = DecodeFile(fixed);
        ASSERT_GT(decoded.size(), 9000u * 2);
        EXPECT_EQ(DecodeFile(free), decoded) << e.encoder;
    }
}

TEST_F(FrameReaderTest, AnId3TagAtTheStartIsSkippedWholeByItsLength) {
    HeaderFields fields;
    fields.frequency_index = 1;  // 48 kHz, unlike the frames in the tag
    const Bytes stream = Joined({Id3v2Tag(1000), Frames(fields, 2)});
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

TEST_F(FrameReaderTest, FindsEveryFrameOfTheConformanceStreams) {
    const std::vector<ConformanceEntry> entries = ConformanceStreams();
    if (entries.empty()) GTEST_SKIP() << "no conformance streams at " << CONFORMANCE_DIR;
    ASSERT_GT(entries.size(), 30u);
    for (const ConformanceEntry& entry : entries) {
        ASSERT_EQ(OpenInput(entry.stream), 0) << entry.name;
        FrameHeader header;
        int64_t frames = 0;
        while (ReadNextFrame(context, context->state->reader, header) == 0) ++frames;
        EXPECT_EQ(frames, entry.frames) << entry.name;
        input_close(context);
    }
}

}  // namespace
