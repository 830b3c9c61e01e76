#include "metadata.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <span>

#include "tables/genre_names.h"

namespace vortax {

namespace {

constexpr std::string_view Keys[TagFieldCount] = {
    "title",   "artist", "album", "track", "date", "genre", "comment", "replaygain_track_gain", "replaygain_track_peak",
    "replaygain_album_gain", "replaygain_album_peak"};

constexpr int FrontCover = 3;

constexpr size_t Id3v1Bytes = 128;
constexpr size_t ApeFooterBytes = 32;

struct ApeKey {
    std::string_view key;  // matched in any case
    TagField field;
};

constexpr ApeKey ApeKeys[] = {{"title", TagField::Title}, {"artist", TagField::Artist}, {"album", TagField::Album},
                              {"track", TagField::Track}, {"year", TagField::Date},     {"genre", TagField::Genre},
                              {"comment", TagField::Comment}};

uint32_t Little32(const uint8_t* b) {
    return b[0] | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
}

// The genre a number of one to three digits names, or null.
const char* NumberedGenre(std::string_view digits) {
    if (digits.empty() || digits.size() > 3 || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return nullptr;
    int number = 0;
    for (const char digit : digits) number = number * 10 + (digit - '0');
    return number < GenreCount ? GenreNames[number] : nullptr;
}

// An ID3v1 field: its bytes up to the first zero.
std::string_view Id3v1Text(const uint8_t* field, size_t length) {
    const uint8_t* end = std::find(field, field + length, 0);
    return {reinterpret_cast<const char*>(field), static_cast<size_t>(end - field)};
}

// "TAG", 30 bytes each of title, artist and album, 4 of year, 30 of comment and the genre
// number; a comment whose 29th byte is zero and 30th is not holds the track there (1.1).
void ReadId3v1(const uint8_t* tag, StreamTags& tags) {
    tags.Offer(TagField::Title, Latin1ToUtf8(Id3v1Text(tag + 3, 30)));
    tags.Offer(TagField::Artist, Latin1ToUtf8(Id3v1Text(tag + 33, 30)));
    tags.Offer(TagField::Album, Latin1ToUtf8(Id3v1Text(tag + 63, 30)));
    tags.Offer(TagField::Date, Latin1ToUtf8(Id3v1Text(tag + 93, 4)));
    tags.Offer(TagField::Comment, Latin1ToUtf8(Id3v1Text(tag + 97, 30)));
    if (tag[125] == 0 && tag[126] != 0) tags.Offer(TagField::Track, std::to_string(tag[126]));
    if (tag[127] < GenreCount) tags.Offer(TagField::Genre, GenreNames[tag[127]]);
}

bool SameKey(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Each item: the value's length and flags (32 bits, little-endian), a key ended by a zero
// and the value. Only text values (flag bits 1 and 2 clear) are read, and of a list of
// them, split by zeros, the first.
void ReadApeItems(std::span<const uint8_t> items, StreamTags& tags) {
    for (size_t at = 0; items.size() - at >= 8;) {
        const uint32_t length = Little32(items.data() + at);
        const uint32_t flags = Little32(items.data() + at + 4);
        const auto key = std::find(items.begin() + static_cast<ptrdiff_t>(at + 8), items.end(), 0);
        if (key == items.end() || length > static_cast<size_t>(items.end() - key) - 1) return;
        const size_t valueAt = static_cast<size_t>(key - items.begin()) + 1;
        const std::string_view name(reinterpret_cast<const char*>(items.data() + at + 8), valueAt - 1 - (at + 8));
        std::string_view value(reinterpret_cast<const char*>(items.data() + valueAt), length);
        at = valueAt + length;
        if (flags & 0x6) continue;
        value = value.substr(0, value.find('\0'));
        for (const ApeKey& ape : ApeKeys)
            if (SameKey(ape.key, name)) tags.Offer(ape.field, value);
    }
}

// An APE tag ending at `end`: its footer gives the size of its items and itself.
void ReadApe(const ReadAt& read, uint64_t end, StreamTags& tags) {
    uint8_t footer[ApeFooterBytes];
    if (end < ApeFooterBytes || !read(end - ApeFooterBytes, footer, ApeFooterBytes) || std::memcmp(footer, "APETAGEX", 8) != 0)
        return;
    const uint32_t version = Little32(footer + 8);
    const uint32_t size = Little32(footer + 12);
    if ((version != 1000 && version != 2000) || size < ApeFooterBytes || size > end || size - ApeFooterBytes > MostEndTagBytes)
        return;
    std::vector<uint8_t> items(size - ApeFooterBytes);
    if (read(end - size, items.data(), items.size())) ReadApeItems(items, tags);
}

}  // namespace

bool StreamTags::Empty() const {
    return id3v2.empty() &&
           std::all_of(fields.begin(), fields.begin() + TextFieldCount, [](const std::string& field) { return field.empty(); });
}

void StreamTags::Offer(TagField field, std::string_view value) {
    std::string& kept = fields[static_cast<size_t>(field)];
    const size_t last = value.find_last_not_of(std::string_view("\0 ", 2));
    if (kept.empty() && last != std::string_view::npos) kept.assign(value.substr(0, last + 1));
}

void StreamTags::OfferPicture(int type, std::string_view mime, std::span<const uint8_t> data) {
    if (picture.type == FrontCover || (picture.type >= 0 && type != FrontCover)) return;
    picture = Picture{type, std::string(mime), std::vector<uint8_t>(data.begin(), data.end())};
}

bool TagFieldOf(std::string_view key, TagField& field) {
    const auto* found = std::find(std::begin(Keys), std::end(Keys), key);
    if (found == std::end(Keys)) return false;
    field = static_cast<TagField>(found - std::begin(Keys));
    return true;
}

void AppendUtf8(std::string& text, uint32_t code) {
    if ((code >= 0xD800 && code < 0xE000) || code > 0x10FFFF) code = 0xFFFD;
    const int more = code < 0x80 ? 0 : code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;  // continuation bytes
    constexpr uint8_t Lead[] = {0x00, 0xC0, 0xE0, 0xF0};
    text += static_cast<char>(Lead[more] | (code >> (6 * more)));
    for (int i = more - 1; i >= 0; --i) text += static_cast<char>(0x80 | ((code >> (6 * i)) & 0x3F));
}

std::string Latin1ToUtf8(std::string_view text) {
    std::string utf8;
    for (const char c : text) AppendUtf8(utf8, static_cast<unsigned char>(c));
    return utf8;
}

// A second reference, as in "(51)(39)", is no name of its own.
std::string GenreName(std::string_view genre) {
    std::string_view number = genre;
    if (const size_t close = genre.find(')'); genre.starts_with('(') && close != std::string_view::npos) {
        const std::string_view after = genre.substr(close + 1);
        if (!after.empty() && !after.starts_with('(')) return std::string(after);
        number = genre.substr(1, close - 1);
    }
    const char* name = NumberedGenre(number);
    return name ? name : std::string(genre);
}

void ReadEndTags(const ReadAt& read, uint64_t size, StreamTags& tags) {
    uint8_t id3v1[Id3v1Bytes];
    const bool hasId3v1 = size >= Id3v1Bytes && read(size - Id3v1Bytes, id3v1, Id3v1Bytes) && std::memcmp(id3v1, "TAG", 3) == 0;
    ReadApe(read, hasId3v1 ? size - Id3v1Bytes : size, tags);
    if (hasId3v1) ReadId3v1(id3v1, tags);
}

}  // namespace vortax
