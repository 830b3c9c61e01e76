#include "containers.h"

#include <algorithm>
#include <string_view>

#include "tags.h"

namespace vortax {

namespace {

using namespace std::string_view_literals;

// What a look at the bytes tells: they are of the kind looked for, or they are not (both
// unset), or `need` bytes must be seen to tell.
struct Look {
    bool found = false;
    size_t need = 0;
};

constexpr Look Found{true, 0};

// The format tags of a WAV file's "fmt " chunk that matter here.
enum : uint32_t {
    WAVE_FORMAT_PCM = 0x0001,
    WAVE_FORMAT_IEEE_FLOAT = 0x0003,
    WAVE_FORMAT_MPEG = 0x0050,  // layers I and II
    WAVE_FORMAT_MPEGLAYER3 = 0x0055,
    WAVE_FORMAT_EXTENSIBLE = 0xFFFE,  // the real tag starts the sub-format GUID
};

constexpr size_t RiffHeadBytes = 12;  // "RIFF", its size, "WAVE"
constexpr size_t ChunkHeadBytes = 8;  // the chunk's id and size
constexpr size_t SubFormatAt = 24;    // in an extensible "fmt " chunk
constexpr size_t Ds64DataAt = 8;      // the data size, after the RIFF size
constexpr size_t AdtsHeaderBytes = 7;
constexpr int TransportPackets = 4;  // in step before a stream is taken for one

uint64_t Little(const uint8_t* b, int bytes) {
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | b[i];
    return value;
}

// Whether the bytes start with `pattern`, in which '?' stands for any byte.
Look Match(const uint8_t* b, size_t n, std::string_view pattern) {
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (i == n) return {false, pattern.size()};
        if (pattern[i] != '?' && static_cast<uint8_t>(pattern[i]) != b[i]) return {};
    }
    return Found;
}

// A WAV file by its format tag: MPEG audio in its data, or a file that holds something else.
Look WaveOf(uint32_t format, uint64_t data_start, uint64_t data_bytes, Container& c) {
    if (format == WAVE_FORMAT_MPEG || format == WAVE_FORMAT_MPEGLAYER3) {
        c = {ContainerKind::RiffMpeg, nullptr, data_start, data_bytes};
    } else {
        const bool pcm = format == WAVE_FORMAT_PCM || format == WAVE_FORMAT_IEEE_FLOAT;
        c = {ContainerKind::Other, pcm ? "a PCM WAV file" : "a WAV file without MPEG audio"};
    }
    return Found;
}

// RIFF WAVE, or RF64 with its 64-bit lengths in a ds64 chunk: the chunks, each padded to
// an even length, are walked to "fmt " and "data". A data length of 0 or 0xFFFFFFFF, as
// writers that cannot go back leave it, or one past the end, runs to the end.
Look ReadWave(const uint8_t* b, size_t n, bool ended, Container& c) {
    uint32_t format = 0;
    uint64_t ds64_data = 0;
    auto more = [&](uint64_t need) { return ended ? WaveOf(format, n, 0, c) : Look{false, need}; };
    for (uint64_t at = RiffHeadBytes;;) {
        const uint64_t body = at + ChunkHeadBytes;
        if (body > n) return more(body);
        const std::string_view id(reinterpret_cast<const char*>(b + at), 4);
        const uint64_t size = Little(b + at + 4, 4);
        if (id == "data") {
            uint64_t bytes = size == 0xFFFFFFFF && ds64_data ? ds64_data : size;
            if (bytes == 0 || bytes == 0xFFFFFFFF || (ended && body + bytes > n)) bytes = UINT64_MAX;
            return WaveOf(format, body, bytes, c);
        }
        if (id == "fmt ") {
            if (body + 2 > n) return more(body + 2);
            format = static_cast<uint32_t>(Little(b + body, 2));
            if (format == WAVE_FORMAT_EXTENSIBLE) {
                if (body + SubFormatAt + 2 > n) return more(body + SubFormatAt + 2);
                format = static_cast<uint32_t>(Little(b + body + SubFormatAt, 2));
            }
        }
        if (id == "ds64") {
            if (body + Ds64DataAt + 8 > n) return more(body + Ds64DataAt + 8);
            ds64_data = Little(b + body + Ds64DataAt, 8);
        }
        at = body + size + (size & 1);
    }
}

// An ADTS header: the 12 sync bits, then the layer bits 00 that no MPEG audio header has,
// and a sampling frequency from the table.
bool IsAdts(const uint8_t* b) { return b[0] == 0xFF && (b[1] & 0xF6) == 0xF0 && (b[2] >> 2 & 0x0F) < 13; }

// One sync word can be chance: the first frame's 13-bit length must lead to a second
// header with the same fixed fields (version, profile, frequency, channels).
Look ConfirmAdts(const uint8_t* b, size_t n, bool, Container&) {
    if (n < AdtsHeaderBytes) return {false, AdtsHeaderBytes};
    const size_t length = (b[3] & 3u) << 11 | static_cast<size_t>(b[4]) << 3 | b[5] >> 5;
    if (!IsAdts(b) || length < AdtsHeaderBytes) return {};
    if (n < length + AdtsHeaderBytes) return {false, length + AdtsHeaderBytes};
    const uint8_t* next = b + length;
    const bool same = IsAdts(next) && next[1] == b[1] && next[2] == b[2] && (next[3] & 0xF0) == (b[3] & 0xF0);
    return same ? Found : Look{};
}

// Transport stream packets of `packet` bytes, each starting with 0x47 after a `prefix`
// (the time code of 192-byte packets).
Look InStep(const uint8_t* b, size_t n, size_t packet, size_t prefix) {
    for (size_t at = prefix; at < prefix + TransportPackets * packet; at += packet) {
        if (at >= n) return {false, at + 1};
        if (b[at] != 0x47) return {};
    }
    return Found;
}

struct Signature {
    std::string_view pattern;  // at the start; '?' stands for any byte
    ContainerKind kind;
    const char* name;
    // What the pattern cannot tell: whether the bytes are of the kind, and the details.
    Look (*confirm)(const uint8_t* b, size_t n, bool ended, Container& c);
};

constexpr Signature Signatures[] = {
    {"RIFF????WAVE", ContainerKind::Other, nullptr, ReadWave},
    {"RF64????WAVE", ContainerKind::Other, nullptr, ReadWave},
    {"\0\0\1\xBA"sv, ContainerKind::ProgramStream, nullptr, nullptr},  // a pack header
    {"fLaC", ContainerKind::Other, "a FLAC file", nullptr},
    {"OggS", ContainerKind::Other, "an Ogg file", nullptr},
    {"????ftyp", ContainerKind::Other, "an MP4/M4A file", nullptr},
    {"\x1A\x45\xDF\xA3", ContainerKind::Other, "a Matroska/WebM file", nullptr},
    {"FORM????AIFF", ContainerKind::Other, "an AIFF file", nullptr},
    {"FORM????AIFC", ContainerKind::Other, "an AIFF file", nullptr},
    {".snd", ContainerKind::Other, "a Sun/NeXT audio file", nullptr},
    {"\xFF", ContainerKind::Other, "an AAC (ADTS) file", ConfirmAdts},
    {"\x47", ContainerKind::Other, "an MPEG transport stream",
     [](const uint8_t* b, size_t n, bool, Container&) { return InStep(b, n, 188, 0); }},
    {"????\x47", ContainerKind::Other, "an MPEG transport stream",
     [](const uint8_t* b, size_t n, bool, Container&) { return InStep(b, n, 192, 4); }},
};

// Where the input's leading ID3v2 tags end, or, past `available`, the bytes to see first.
size_t LeadingTags(const uint8_t* bytes, size_t available, bool ended) {
    size_t at = 0;
    while (at <= available) {
        const size_t rest = available - at;
        const Look id3 = Match(bytes + at, rest, "ID3");
        if (!id3.found && !id3.need) break;
        const int32_t length = TagLength(bytes + at, static_cast<int32_t>(std::min<size_t>(rest, INT32_MAX)));
        if (length == 0 || (length < 0 && ended)) break;
        if (length < 0) return at + static_cast<size_t>(-length);
        at += static_cast<size_t>(length);
    }
    return at;
}

}  // namespace

size_t SniffContainer(const uint8_t* bytes, size_t available, bool ended, Container& container) {
    const size_t at = LeadingTags(bytes, available, ended);
    container = Container{};
    if (at > available) return ended ? 0 : at;
    const uint8_t* b = bytes + at;
    const size_t n = available - at;
    for (const Signature& signature : Signatures) {
        Look look = Match(b, n, signature.pattern);
        if (look.found) {
            container = {signature.kind, signature.name};
            if (signature.confirm) look = signature.confirm(b, n, ended, container);
        }
        if (look.need && !ended) return at + look.need;
        if (look.found) break;
        container = Container{};
    }
    container.data_start += at;
    return 0;
}

}  // namespace vortax
