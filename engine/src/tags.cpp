#include "tags.h"

#include <algorithm>
#include <climits>
#include <string_view>

namespace vortax {

namespace {

constexpr int32_t Id3v1Bytes = 128;
constexpr int32_t Id3v2HeaderBytes = 10;  // and as many again for a footer
constexpr int32_t ApeHeaderBytes = 32;    // and as many for the footer
constexpr int32_t LyricsBeginBytes = 11;  // "LYRICSBEGIN"
constexpr int32_t LyricsEndBytes = 9;     // "LYRICSEND", or "LYRICS200" after a six-digit size
constexpr int32_t LyricsStep = 512;       // more lyrics to see at a time

uint32_t Little32(const uint8_t* b) {
    return b[0] | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
}

int32_t Id3v1Length(const uint8_t*, int32_t) { return Id3v1Bytes; }

// The version and revision are never 0xFF, and the size is four 7-bit bytes.
int32_t Id3v2Length(const uint8_t* b, int32_t) {
    if (b[3] == 0xFF || b[4] == 0xFF || ((b[6] | b[7] | b[8] | b[9]) & 0x80)) return 0;
    int32_t size = 0;
    for (int i = 6; i < 10; ++i) size = (size << 7) | b[i];
    const bool footer = b[5] & 0x10;
    return Id3v2HeaderBytes + size + (footer ? Id3v2HeaderBytes : 0);
}

// A header and a footer look alike: a version, the size of the items and the footer, the
// item count and flags, bit 29 set in the header. From its header a tag runs to the end
// of its footer; a footer met first ends a tag without a header (version 1), whose items
// went by as junk.
int32_t ApeLength(const uint8_t* b, int32_t) {
    const uint32_t version = Little32(b + 8);
    const uint32_t size = Little32(b + 12);
    const bool header = (Little32(b + 20) >> 29) & 1;
    if ((version != 1000 && version != 2000) || size < ApeHeaderBytes || size > INT32_MAX - ApeHeaderBytes) return 0;
    return header ? ApeHeaderBytes + static_cast<int32_t>(size) : ApeHeaderBytes;
}

// Lyrics3 gives no length up front: its end marker is looked for, as far as TagLookBytes.
int32_t LyricsLength(const uint8_t* b, int32_t available) {
    const std::string_view text(reinterpret_cast<const char*>(b), static_cast<size_t>(available));
    const size_t end = std::min(text.find("LYRICSEND", LyricsBeginBytes), text.find("LYRICS200", LyricsBeginBytes));
    if (end != std::string_view::npos) return static_cast<int32_t>(end) + LyricsEndBytes;
    if (available >= TagLookBytes) return 0;
    return -std::min(available + LyricsStep, TagLookBytes);
}

struct TagKind {
    std::string_view magic;
    int32_t head;  // the bytes that tell its length, or the first of them
    int32_t (*length)(const uint8_t* bytes, int32_t available);
};

constexpr TagKind Kinds[] = {
    {"TAG", 3, Id3v1Length},
    {"ID3", Id3v2HeaderBytes, Id3v2Length},
    {"APETAGEX", ApeHeaderBytes, ApeLength},
    {"LYRICSBEGIN", LyricsBeginBytes + LyricsEndBytes, LyricsLength},
};

}  // namespace

int32_t TagLength(const uint8_t* bytes, int32_t available) {
    const std::string_view at(reinterpret_cast<const char*>(bytes), static_cast<size_t>(available));
    for (const TagKind& kind : Kinds) {
        const size_t seen = std::min(at.size(), kind.magic.size());
        if (at.substr(0, seen) != kind.magic.substr(0, seen)) continue;
        return available < kind.head ? -kind.head : kind.length(bytes, available);
    }
    return 0;
}

}  // namespace vortax
