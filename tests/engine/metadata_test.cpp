#include <gtest/gtest.h>

#include <array>
#include <map>
#include <optional>

#include "engine_fixture.h"

using namespace std::string_view_literals;

namespace {

using Tags = std::map<std::string, std::string>;

constexpr const char* Keys[] = {"title", "artist", "album", "track", "date", "genre", "comment"};

// A zero after every 0xFF, so that no false frame sync shows.
Bytes Unsynchronised(const Bytes& plain) {
    Bytes bytes;
    for (const uint8_t b : plain) {
        bytes.push_back(b);
        if (b == 0xFF) bytes.push_back(0);
    }
    return bytes;
}

// UTF-16 little-endian after a byte-order mark, or big-endian without one.
Bytes Utf16(std::u16string_view text, bool little) {
    Bytes bytes = little ? Bytes{0xFF, 0xFE} : Bytes{};
    for (const char16_t c : text) bytes.insert(bytes.end(), {uint8_t(little ? c : c >> 8), uint8_t(little ? c >> 8 : c)});
    return bytes;
}

// Title, artist, album, year and a comment short enough for the track byte (ID3v1.1).
Bytes Id3v1(const std::array<std::string_view, 5>& fields, uint8_t track, uint8_t genre) {
    Bytes tag = Text("TAG");
    const size_t sizes[] = {30, 30, 30, 4, 28};
    for (size_t i = 0; i < 5; ++i) tag = Joined({tag, Text(fields[i]), Bytes(sizes[i] - fields[i].size(), 0)});
    return Joined({tag, {0, track, genre}});
}

Bytes Ape(const Tags& items) {
    Bytes body;
    for (const auto& [key, value] : items) body = Joined({body, Little(uint32_t(value.size())), Little(0), Text(key), {0}, Text(value)});
    const Bytes footer = Joined({Text("APETAGEX"), Little(2000), Little(uint32_t(body.size() + 32)), Little(uint32_t(items.size())), Bytes(12, 0)});
    return Joined({body, footer});
}

class MetadataTest : public EngineTest {};

TEST_F(MetadataTest, EveryKindOfTagIsReadWithID3v2FirstThenApeThenID3v1) {
    const Bytes audio = Frames({}, 4);
    const Bytes v22 = Id3Tag(2, 0, Joined({Id3Frame(2, "TT2", Text("\0Caf\xE9"sv)), Id3Frame(2, "TP1", Text("\0AB"sv)),
                                           Id3Frame(2, "TCO", Text("\0(17)"sv))}));
    const Bytes v23Body = Joined({Bytes{0, 0, 0, 6}, Bytes(6, 0),  // an extended header
                                  Id3Frame(3, "TIT2", Joined({{1}, Utf16(u"\u00FFes", true)})),
                                  Id3Frame(3, "TCON", Text("\0(31)Goa Trance"sv)), Id3Frame(3, "TYER", Text("\0" "1999"sv))});
    const Bytes v23 = Id3Tag(3, 0xC0, Unsynchronised(v23Body));
    const Bytes album = Unsynchronised(Text("\0x\xFFy"sv));
    const Bytes v24 = Id3Tag(4, 0x10, Joined({
        Id3Frame(4, "TIT2", Text("\3Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80"sv)),
        Id3Frame(4, "TPE1", Joined({{2}, Utf16(u"\u03A9mega", false)})),
        Id3Frame(4, "TALB", Joined({{0, 0, 0, 4}, album}), 0x03),  // unsynchronised, with its plain length
        Id3Frame(4, "TCON", Text("\0" "17"sv)), Id3Frame(4, "TDRC", Text("\0" "2024-05-01"sv)),
        Id3Frame(4, "COMM", Joined({{1}, Text("eng"), Utf16(u"d", true), {0, 0}, Utf16(u"Note", true)}))}));
    const Bytes mixed = Joined({Id3Tag(3, 0, Id3Frame(3, "TIT2", Text("\0Lead"sv))),
                                Id3Tag(3, 0, Joined({Id3Frame(3, "TIT2", Text("\0Second"sv)), Id3Frame(3, "TPE1", Text("\0Band"sv))})),
                                audio, Ape({{"Title", "Ape"}, {"ALBUM", "Disc"}, {"Year", "2001"}}),
                                Id3v1({"One", "Two", "Three", "1990", "Four"}, 5, 8)});
    const struct {
        const char* name;
        Bytes input;
        bool pipe;
        Tags tags;
    } cases[] = {
        {"2.2", Joined({v22, audio}), false, {{"title", "Caf\xC3\xA9"}, {"artist", "AB"}, {"genre", "Rock"}}},
        {"2.3", Joined({v23, audio}), false, {{"title", "\xC3\xBF" "es"}, {"genre", "Goa Trance"}, {"date", "1999"}}},
        {"2.4", Joined({v24, audio}), false,
         {{"title", "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80"}, {"artist", "\xCE\xA9mega"}, {"album", "x\xC3\xBFy"},
          {"genre", "Rock"}, {"date", "2024-05-01"}, {"comment", "Note"}}},
        {"1.1", Joined({audio, Id3v1({"T", "A", "B", "1987", "C"}, 7, 8)}), false,
         {{"title", "T"}, {"artist", "A"}, {"album", "B"}, {"date", "1987"}, {"comment", "C"}, {"track", "7"}, {"genre", "Jazz"}}},
        {"all", mixed, false,
         {{"title", "Lead"}, {"artist", "Band"}, {"album", "Disc"}, {"date", "2001"}, {"comment", "Four"}, {"track", "5"},
          {"genre", "Jazz"}}},
        {"all, from a pipe", mixed, true, {{"title", "Lead"}, {"artist", "Band"}}},
    };
    for (const auto& [name, input, pipe, tags] : cases) {
        SCOPED_TRACE(name);
        const std::string path = (folder / "in.mp3").string();
        std::filesystem::remove(path);
        std::optional<PipeWriter> writer;
        if (pipe)
            writer.emplace(path, input);
        else
            Write("in.mp3", input);
        int frames = 0;
        EXPECT_EQ(Convert(path, &frames), VORTAX_INPUT_END);
        EXPECT_EQ(frames, 4);
        for (const char* key : Keys) {
            char value[64] = "";
            const int length = vortax_get_tag(context, key, value, sizeof value);
            const auto expected = tags.find(key);
            EXPECT_EQ(length, expected == tags.end() ? VORTAX_NO_SUCH_VARIABLE : int(expected->second.size())) << key;
            EXPECT_EQ(value, expected == tags.end() ? "" : expected->second) << key;
        }
    }
}

TEST_F(MetadataTest, AValueCutToFitEndsBeforeACharacterThatDoesNotFitWhole) {
    const Bytes title = Id3Frame(4, "TIT2", Text("\3Gr\xC3\xBC\xC3\x9F" "e"sv));
    ASSERT_EQ(OpenInput(Write("in.mp3", Joined({Id3Tag(4, 0, title), Frames({}, 2)}))), 0);
    char value[4] = "xxx";
    EXPECT_EQ(vortax_get_tag(context, "title", value, sizeof value), 7);
    EXPECT_STREQ(value, "Gr");
    EXPECT_EQ(vortax_get_tag(context, "title", nullptr, 0), 7);
    EXPECT_EQ(vortax_get_tag(context, "title", nullptr, 1), VORTAX_INVALID_PARAMETERS);
    EXPECT_EQ(vortax_get_tag(context, nullptr, value, sizeof value), VORTAX_INVALID_PARAMETERS);
    EXPECT_EQ(vortax_get_tag(context, "year", value, sizeof value), VORTAX_NO_SUCH_VARIABLE);
}

TEST_F(MetadataTest, TheFrontCoverOrElseTheFirstPictureIsGivenWhole) {
    const Bytes png = {0x89, 'P', 'N', 'G', 0, 0, 0xFF, 0}, jpeg = {0xFF, 0xD8, 0, 0, 0xFF, 0xE0};
    const struct { int version; Bytes frames; const char* mime; Bytes picture; } tags[] = {
        {3, Joined({Id3Frame(3, "APIC", Joined({{0}, Text("image/png"), {0, 0}, Text("x"), {0}, png})),
                    Id3Frame(3, "APIC", Joined({{1}, Text("image/jpeg"), {0, 3, 0xFF, 0xFE, 'C', 0, 0, 0}, jpeg}))}), "image/jpeg", jpeg},
        {2, Id3Frame(2, "PIC", Joined({{0}, Text("PNG"), {4}, Text("back"), {0}, png})), "image/png", png},
        {4, Id3Frame(4, "APIC", Joined({{3}, Text("image/png"), {0, 5}, Text("\xC3\xA9"), {0}, png})), "image/png", png},
        {4, Id3Frame(4, "TIT2", Joined({{3}, Text("no picture")})), nullptr, {}}};
    for (const auto& t : tags) {
        ASSERT_EQ(OpenInput(Write("pictured.mp3", Joined({Id3Tag(t.version, 0, t.frames), Frames({}, 4)}))), 0);
        const void* data = nullptr;
        size_t size = 0;
        const char* mime = nullptr;
        const int code = vortax_get_picture(context, &data, &size, &mime);
        const auto* bytes = static_cast<const uint8_t*>(data);
        EXPECT_TRUE(t.mime ? code == 0 && mime == std::string(t.mime) && Bytes(bytes, bytes + size) == t.picture : code == VORTAX_NO_SUCH_VARIABLE) << t.version;
        input_close(context);
    }
}

}  // namespace
