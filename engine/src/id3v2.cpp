#include "id3v2.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tags.h"

namespace vortax {

namespace {

using Span = std::span<const uint8_t>;

constexpr size_t HeaderBytes = 10;
constexpr uint8_t Unsynchronised = 0x80;  // tag flag
constexpr uint8_t ExtendedHeader = 0x40;  // tag flag; in 2.2, a compressed tag

enum Encoding : uint8_t { Latin1, Utf16, Utf16Be, Utf8 };

struct FrameField {
    std::string_view id;  // three letters in 2.2, four after
    TagField field;
};

constexpr FrameField FrameFields[] = {
    {"TIT2", TagField::Title}, {"TT2", TagField::Title},   {"TPE1", TagField::Artist}, {"TP1", TagField::Artist},
    {"TALB", TagField::Album}, {"TAL", TagField::Album},   {"TRCK", TagField::Track},  {"TRK", TagField::Track},
    {"TDRC", TagField::Date},  {"TYER", TagField::Date},   {"TYE", TagField::Date},    {"TCON", TagField::Genre},
    {"TCO", TagField::Genre},  {"COMM", TagField::Comment}, {"COM", TagField::Comment},
};

uint32_t BigEndian(Span bytes, size_t count) {
    uint32_t value = 0;
    for (size_t i = 0; i < count; ++i) value = value << 8 | bytes[i];
    return value;
}

// Four bytes of seven bits each, so that a size never holds a 0xFF.
uint32_t Syncsafe(Span bytes) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) value = value << 7 | (bytes[i] & 0x7F);
    return value;
}

Span Skip(Span bytes, size_t count) { return bytes.subspan(std::min(count, bytes.size())); }

std::string_view Chars(Span bytes) { return {reinterpret_cast<const char*>(bytes.data()), bytes.size()}; }

// Undoes unsynchronisation: the zero byte written after every 0xFF goes.
std::vector<uint8_t> Resynchronised(Span bytes) {
    std::vector<uint8_t> plain;
    plain.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        plain.push_back(bytes[i]);
        if (bytes[i] == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == 0) ++i;
    }
    return plain;
}

size_t UnitBytes(uint8_t encoding) { return encoding == Utf16 || encoding == Utf16Be ? 2 : 1; }

// Where the first string ends: at its terminator, else at the last whole unit.
size_t StringEnd(Span bytes, size_t unit) {
    for (size_t i = 0; i + unit <= bytes.size(); i += unit)
        if (bytes[i] == 0 && bytes[i + unit - 1] == 0) return i;
    return bytes.size() - bytes.size() % unit;
}

// Big-endian unless a byte-order mark says otherwise; a pair of surrogates is one character.
std::string Utf16ToUtf8(Span bytes) {
    bool big = true;
    const bool little = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    if (little || (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF)) {
        big = !little;
        bytes = bytes.subspan(2);
    }
    const auto unit = [&](size_t i) { return big ? uint32_t{bytes[i]} << 8 | bytes[i + 1] : uint32_t{bytes[i + 1]} << 8 | bytes[i]; };
    std::string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint32_t code = unit(i);
        const bool high = code >= 0xD800 && code < 0xDC00;
        if (high && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        }
        AppendUtf8(text, code);
    }
    return text;
}

// The first string of `bytes` in `encoding`, as UTF-8.
std::string DecodeText(uint8_t encoding, Span bytes) {
    const Span text = bytes.first(StringEnd(bytes, UnitBytes(encoding)));
    if (encoding == Latin1) return Latin1ToUtf8(Chars(text));
    if (encoding == Utf8) return std::string(Chars(text));
    return Utf16ToUtf8(text);
}

// ASCII letters in lower case, the rest as it is.
std::string Lower(std::string text) {
    for (char& c : text) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return text;
}

// What follows the first string of `bytes` and its terminator.
Span AfterString(uint8_t encoding, Span bytes) {
    return Skip(bytes, StringEnd(bytes, UnitBytes(encoding)) + UnitBytes(encoding));
}

// A text frame's value, or a comment's text after its language and description.
std::string FrameValue(TagField field, Span data) {
    if (data.empty() || data[0] > Utf8) return {};
    const uint8_t encoding = data[0];
    Span text = data.subspan(1);
    if (field == TagField::Comment) text = AfterString(encoding, Skip(text, 3));
    return DecodeText(encoding, text);
}

// A text of the user's (TXXX, TXX): a description naming it, then its value. Those named
// as ReplayGain's are read, in any case.
void ReadUserText(Span data, StreamTags& tags) {
    if (data.empty() || data[0] > Utf8) return;
    const uint8_t encoding = data[0];
    const Span text = data.subspan(1);
    const std::string name = Lower(DecodeText(encoding, text));
    TagField field{};
    if (TagFieldOf(name, field) && field >= TagField::TrackGain) tags.Offer(field, DecodeText(encoding, AfterString(encoding, text)));
}

// APIC: the text encoding, a MIME type in Latin-1 ended by a zero, the picture type, a
// description in the encoding, the picture. 2.2's PIC has a three-letter image format for
// the MIME type. A MIME type "-->" links to a picture elsewhere, which is none.
void ReadPicture(bool pic, Span data, StreamTags& tags) {
    if (data.empty() || data[0] > Utf8) return;
    const uint8_t encoding = data[0];
    Span rest = data.subspan(1);
    std::string mime;
    if (pic) {
        if (rest.size() < 3) return;
        const std::string format = Lower(std::string(Chars(rest.first(3))));
        mime = "image/" + (format == "jpg" ? "jpeg" : format);
        rest = rest.subspan(3);
    } else {
        mime = Chars(rest.first(StringEnd(rest, 1)));
        rest = Skip(rest, mime.size() + 1);
    }
    if (rest.empty() || mime == "-->") return;
    tags.OfferPicture(rest[0], mime, AfterString(encoding, rest.subspan(1)));
}

// Passes what a 2.3 or 2.4 frame's flags put before its data and undoes a 2.4 frame's
// unsynchronisation; false for a frame compressed or encrypted.
bool Unwrap(int version, uint8_t flags, bool unsynchronised, Span& data, std::vector<uint8_t>& plain) {
    if (version == 3) {
        if (flags & 0xC0) return false;
        if (flags & 0x20) data = Skip(data, 1);  // group
    } else if (version == 4) {
        if (flags & 0x0C) return false;
        if (flags & 0x40) data = Skip(data, 1);  // group
        if (flags & 0x01) data = Skip(data, 4);  // data length
        if ((flags & 0x02) || unsynchronised) {
            plain = Resynchronised(data);
            data = plain;
        }
    }
    return true;
}

bool FieldOf(std::string_view id, TagField& field) {
    for (const FrameField& frame : FrameFields) {
        if (frame.id != id) continue;
        field = frame.field;
        return true;
    }
    return false;
}

// What a frame says, by its id.
void ReadFrame(std::string_view id, Span data, StreamTags& tags) {
    TagField field{};
    if (FieldOf(id, field)) {
        const std::string value = FrameValue(field, data);
        tags.Offer(field, field == TagField::Genre ? GenreName(value) : value);
    } else if (id == "TXXX" || id == "TXX") {
        ReadUserText(data, tags);
    } else if (id == "APIC" || id == "PIC") {
        ReadPicture(id == "PIC", data, tags);
    }
}

// The frames up to the end of the body or its padding; a frame longer than what is left
// ends them.
void ReadFrames(int version, bool unsynchronised, Span body, StreamTags& tags) {
    const size_t idBytes = version == 2 ? 3 : 4;
    const size_t headerBytes = version == 2 ? 6 : 10;
    while (body.size() >= headerBytes && body[0] != 0) {
        const Span header = body.first(headerBytes);
        const uint32_t size = version == 2   ? BigEndian(header.subspan(3), 3)
                              : version == 3 ? BigEndian(header.subspan(4), 4)
                                             : Syncsafe(header.subspan(4));
        if (size > body.size() - headerBytes) return;
        Span data = body.subspan(headerBytes, size);
        body = body.subspan(headerBytes + size);
        std::vector<uint8_t> plain;
        if (Unwrap(version, version == 2 ? 0 : header[9], unsynchronised, data, plain))
            ReadFrame(Chars(header.first(idBytes)), data, tags);
    }
}

// A tag of 2.2 and 2.3 is unsynchronised whole, extended header included; in 2.4 each
// frame is, and the tag's flag says that all are.
void ReadTag(Span tag, StreamTags& tags) {
    const int version = tag[3];
    const uint8_t flags = tag[5];
    if (version < 2 || version > 4 || (version == 2 && (flags & ExtendedHeader))) return;
    Span body = tag.subspan(HeaderBytes, Syncsafe(tag.subspan(6)));
    std::vector<uint8_t> plain;
    if (version < 4 && (flags & Unsynchronised)) {
        plain = Resynchronised(body);
        body = plain;
    }
    // The extended header's size leaves out its own four bytes in 2.3, not in 2.4.
    if (version > 2 && (flags & ExtendedHeader) && body.size() >= 4)
        body = Skip(body, version == 3 ? size_t{4} + BigEndian(body, 4) : Syncsafe(body));
    ReadFrames(version, version == 4 && (flags & Unsynchronised), body, tags);
}

}  // namespace

void ReadLeadingTags(const uint8_t* bytes, size_t size, StreamTags& tags) {
    for (size_t at = 0; size - at >= HeaderBytes && std::memcmp(bytes + at, "ID3", 3) == 0;) {
        const int32_t length = TagLength(bytes + at, static_cast<int32_t>(std::min<size_t>(size - at, TagLookBytes)));
        if (length <= 0 || static_cast<size_t>(length) > size - at) return;
        const Span tag(bytes + at, static_cast<size_t>(length));
        if (tags.id3v2.empty()) tags.id3v2.assign(tag.begin(), tag.end());
        ReadTag(tag, tags);
        at += static_cast<size_t>(length);
    }
}

}  // namespace vortax
