// What a stream's tags say of it: title, artist and the rest, in UTF-8, gathered from the
// ID3v2 tags at its start and the APE and ID3v1 tags at its end. Where they disagree,
// ID3v2 wins over APE and APE over ID3v1, field by field; of several ID3v2 tags, the first.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vortax {

// The text fields come first: a WAV file's INFO list carries them, not the ReplayGain ones.
enum class TagField { Title, Artist, Album, Track, Date, Genre, Comment, TrackGain, TrackPeak, AlbumGain, AlbumPeak };
constexpr size_t TextFieldCount = 7;
constexpr size_t TagFieldCount = 11;

// A picture of an ID3v2 tag: its type (3 the front cover) and MIME type, and its bytes.
struct Picture {
    int type = -1;  // -1: none
    std::string mime;
    std::vector<uint8_t> data;
};

struct StreamTags {
    std::array<std::string, TagFieldCount> fields;  // empty where no tag gives one
    std::vector<uint8_t> id3v2;                      // the first leading ID3v2 tag as it is, or empty
    Picture picture;                                 // the front cover, else the first picture

    const std::string& operator[](TagField field) const { return fields[static_cast<size_t>(field)]; }
    bool Empty() const;
    // Sets a field no tag has given yet; trailing zeros and spaces are dropped.
    void Offer(TagField field, std::string_view value);
    // Keeps the first picture, or the first front cover after one that is not.
    void OfferPicture(int type, std::string_view mime, std::span<const uint8_t> data);
};

// The field a key ("title", "artist", "album", "track", "date", "genre", "comment",
// "replaygain_track_gain", "replaygain_track_peak", "replaygain_album_gain",
// "replaygain_album_peak") names; false for any other.
bool TagFieldOf(std::string_view key, TagField& field);

// Appends a character in UTF-8; a lone surrogate, or a code past Unicode, as U+FFFD.
void AppendUtf8(std::string& text, uint32_t code);

// Text in ISO-8859-1, as UTF-8.
std::string Latin1ToUtf8(std::string_view text);

// A genre as a name: "(17)", "17" and "(17)Rock" name their number's genre or the text
// after it, anything else is kept as it is.
std::string GenreName(std::string_view genre);

// The most bytes of an APE tag read from the end of an input: a bigger one holds pictures
// more than text, and is passed over.
constexpr size_t MostEndTagBytes = 1 << 20;

// Reads `length` bytes at `offset` of the input: false when they cannot all be had.
using ReadAt = std::function<bool(uint64_t offset, uint8_t* bytes, size_t length)>;

// Adds what the APE and ID3v1 tags at the end of an input of `size` bytes say.
void ReadEndTags(const ReadAt& read, uint64_t size, StreamTags& tags);

}  // namespace vortax
