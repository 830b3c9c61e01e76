#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string_view>

#include "containers.h"
#include "engine_fixture.h"
#include "program_stream.h"

using namespace vortax;
using namespace std::string_view_literals;

namespace {

Bytes Chunk(std::string_view id, const Bytes& body, uint32_t size) { return Joined({Text(id), Little(size), body, Bytes(body.size() & 1)}); }

// A WAV file of `format` (`sub` the extensible one's), a LIST chunk of odd length before
// the data (100 bytes unless given), whose chunk says `size`; RF64 gives the size in its
// ds64 chunk.
Bytes Wave(uint16_t format, uint16_t sub = 0, uint32_t size = 100, uint32_t ds64 = 0, const Bytes& data = Bytes(100, 0xFF)) {
    const Bytes fmt = Joined({Little(format), Bytes(20), Little(sub), Bytes(12)});
    const Bytes ds64Chunk = Chunk("ds64", Joined({Bytes(8), Little(ds64), Bytes(16)}), 28);
    return Joined({Text(ds64 ? "RF64" : "RIFF"), Bytes(4), Text("WAVE"), ds64 ? ds64Chunk : Bytes(),
                   Chunk("fmt ", fmt, 40), Chunk("LIST", Text("INFOx"), 5), Chunk("data", data, size)});
}

// An ADTS frame of `length` bytes: AAC LC, 44.1 kHz, two channels.
Bytes Adts(size_t length) {
    Bytes frame{0xFF, 0xF1, 0x50, uint8_t(0x80 | length >> 11), uint8_t(length >> 3), uint8_t(length << 5 | 0x1F), 0xFC};
    frame.resize(length);
    return frame;
}

Bytes Transport(size_t packet, size_t prefix) {
    Bytes p(packet);
    p[prefix] = 0x47;
    return Joined({p, p, p, p});
}

// Each input is given as the sniffer asks for it, from no bytes on: a long tag is passed at once.
TEST(ContainersTest, SniffingTellsEachKind) {
    using enum ContainerKind;
    Bytes adtsLike = Frame({});  // its bytes 3-5, read as ADTS, give its length
    adtsLike[4] = static_cast<uint8_t>(adtsLike.size() >> 3);
    adtsLike[5] = static_cast<uint8_t>(adtsLike.size() << 5);
    const struct {  // a WAV file ends with its 100 bytes of MPEG audio, of which its header tells `data_bytes`
        const char* what; Bytes bytes; ContainerKind kind; std::string_view name = ""; uint64_t data_bytes = UINT64_MAX;
    } cases[] = {
        {"PCM WAV", Wave(1), Other, "a PCM WAV file"},
        {"ADPCM WAV", Wave(2), Other, "a WAV file without MPEG audio"},
        {"MP3 in WAV, extensible, after ID3v2", Joined({Id3v2Tag(50), Wave(0xFFFE, 0x55)}), RiffMpeg, "", 100},
        {"MP2 in WAV, data size 0", Wave(0x50, 0, 0), RiffMpeg},
        {"MP3 in RF64", Wave(0x55, 0, 0xFFFFFFFF, 60), RiffMpeg, "", 60},
        {"FLAC after a long ID3v2 tag", Joined({Id3v2Tag(1 << 20), Text("fLaC\0\0\0\x22"sv)}), Other, "a FLAC file"},
        {"Ogg", Text("OggS\0\2"sv), Other, "an Ogg file"},
        {"MP4", Text("\0\0\0\x20" "ftypM4A "sv), Other, "an MP4/M4A file"},
        {"Matroska", Text("\x1A\x45\xDF\xA3\x01"), Other, "a Matroska/WebM file"},
        {"ADTS", Joined({Adts(200), Adts(180)}), Other, "an AAC (ADTS) file"},
        {"one ADTS frame", Joined({Adts(200), Frame({})}), Plain},
        {"TS", Transport(188, 0), Other, "an MPEG transport stream"},
        {"M2TS", Transport(192, 4), Other, "an MPEG transport stream"},
        {"AIFF", Text("FORM\0\0\0\0AIFC"sv), Other, "an AIFF file"},
        {"Sun", Text(".snd\0\0\0\x18"sv), Other, "a Sun/NeXT audio file"},
        {"program stream", Text("\0\0\1\xBA\x44"sv), ProgramStream},
        {"MP3", Frames({}, 3), Plain},
        {"MP3 with ADTS lengths", Joined({adtsLike, adtsLike}), Plain},
        {"MP3 after ID3v2", Joined({Id3v2Tag(300, true), Frames({}, 3)}), Plain},
        {"MP3 after junk", Joined({Text("xyz"), Frames({}, 3)}), Plain},
        {"GIF", Text("GIF89a\1\0\1\0"sv), Plain},
        {"text", Text("not audio at all\n"), Plain},
    };
    for (const auto& c : cases) {
        Container container;
        size_t seen = 0;
        for (size_t asked = 1, need; (need = SniffContainer(c.bytes.data(), seen, seen == c.bytes.size(), container)); ++asked) {
            ASSERT_TRUE(need > seen && asked < 16) << c.what << " asks for " << need << " bytes of " << seen;
            seen = std::min(need, c.bytes.size());
        }
        EXPECT_EQ(container.kind, c.kind) << c.what;
        EXPECT_EQ(container.name ? container.name : "", c.name) << c.what;
        if (c.kind != RiffMpeg) continue;
        EXPECT_LE(seen, c.bytes.size() - 100) << c.what << ": decided at the data chunk's header";
        EXPECT_EQ(std::pair(container.data_start, container.data_bytes), std::pair(c.bytes.size() - 100, c.data_bytes)) << c.what;
    }
}

// A PES packet: MPEG-2, MPEG-1 with stuffing, buffer size, PTS and DTS, or MPEG-1 bare; `open`: length 0.
Bytes Pes(uint8_t id, const Bytes& payload, size_t variant, bool open = false) {
    const Bytes headers[] = {{0x81, 0x80, 5, 0x21, 0, 1, 0, 1}, {0xFF, 0xFF, 0x40, 0, 0x31, 0, 1, 0, 1, 0x11, 0, 1, 0, 1}, {0x0F}};
    const size_t length = open ? 0 : headers[variant].size() + payload.size();
    return Joined({{0, 0, 1, id, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)}, headers[variant], payload});
}

Bytes ConformanceStream(const char* name) {
    std::ifstream in(std::string(CONFORMANCE_DIR) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// A program stream of `original`'s bytes cut into audio packets of every kind, between
// video and a second audio stream full of MPEG audio headers, with damage here and there.
Bytes ProgramStreamOf(const Bytes& original) {
    const Bytes decoy = Frames({}, 3);
    const Bytes packs[] = {{0, 0, 1, 0xBA, 0x44, 0, 4, 0, 4, 1, 1, 0x89, 0xC3, 0xFA, 0xFF, 0xFF},
                           {0, 0, 1, 0xBA, 0x21, 0, 1, 0, 1, 0x80, 0x1B, 0x83}};
    Bytes stream = Joined({packs[0], {0, 0, 1, 0xBB, 0, 3, 0x80, 0, 1}});
    for (size_t i = 0, at = 0, piece = 0; at < original.size(); ++i, at += piece) {
        piece = std::min(300 + i * 131 % 1700, original.size() - at);
        const Bytes audio(&original[at], &original[at] + piece);
        const bool open = i % 5 == 2;  // packets of length 0, running to the next start code
        stream = Joined({stream, packs[i % 2], Pes(0xC0, audio, i % 3, open), Pes(0xE0, decoy, i % 3, open), Pes(0xC1, decoy, i % 3)});
        // Damage (junk, a header past its packet), and a program's end with more to follow.
        if (i % 4 == 1) stream = Joined({stream, Text("junk\0\0\1\x05\0\0"sv), {0, 0, 1, 0xC0, 0, 3, 0x81, 0x80, 200}, {0, 0, 1, 0xB9}});
    }
    return stream;
}

TEST(ProgramStreamTest, GivesTheFirstAudioStreamInPiecesOfAnySize) {
    const Bytes original = ConformanceStream("l2-fl10.bit");
    if (original.empty()) GTEST_SKIP() << "no conformance stream l2-fl10.bit";
    const Bytes stream = ProgramStreamOf(original);
    ProgramStream demuxer;
    for (size_t piece : {1, 7, 4096}) {
        demuxer.Reset();
        Bytes audio;
        for (size_t at = 0; at < stream.size(); at += piece) demuxer.Push(&stream[at], std::min(piece, stream.size() - at), audio);
        EXPECT_TRUE(audio == original) << piece << " bytes at a time: " << audio.size() << " of " << original.size();
        EXPECT_EQ(demuxer.AudioStream(), 0xC0);
    }
}

using ContainerDecodeTest = EngineTest;

// The engine reads the audio inside a container as it reads the stream alone, and turns
// away a format that holds none.
TEST_F(ContainerDecodeTest, TheAudioInAContainerIsTheStreamItself) {
    const Bytes original = ConformanceStream("l2-fl10.bit");
    if (original.empty()) GTEST_SKIP() << "no conformance stream l2-fl10.bit";
    const auto size = static_cast<uint32_t>(original.size());
    const Bytes wave = Joined({Wave(0x50, 0, size, 0, original), Chunk("LIST", Frames({}, 3), 3 * 417)});
    const std::vector<int16_t> expected = DecodeFile(Write("plain.mp2", original));
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(DecodeFile(Write("video.mpg", ProgramStreamOf(original))), expected);
    EXPECT_EQ(DecodeFile(Write("wave.wav", wave)), expected);
    EXPECT_EQ(OpenInput(Write("pcm.mp3", Wave(1))), VORTAX_UNSUPPORTED_FORMAT);
    EXPECT_EQ(notes.back(), "unsupported input format: a PCM WAV file, not MPEG audio");
    EXPECT_EQ(context->input.state, 0);
}

}  // namespace
