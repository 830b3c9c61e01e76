#include "pcm_headers.h"

#include <fcntl.h>
#include <sys/types.h>

#include <algorithm>
#include <memory>
#include <new>
#include <string>

namespace vortax {

namespace {

constexpr uint32_t Ds64BodyBytes = 28;
constexpr uint64_t AiffHeaderBytes = 54;
// A Sun header: 24 bytes of fields and an empty annotation. sox warns of one under 28 bytes;
// 32 keep the samples 8-byte aligned.
constexpr uint64_t SunHeaderBytes = 32;
// What WAV (for a stream, and RF64 in its 32-bit fields) and Sun give as an unknown length.
constexpr uint32_t Unknown32 = 0xFFFFFFFF;

// Appends the fields of a header, its numbers in one byte order.
struct Fields {
    std::endian order;
    PcmHeaderBytes header{};

    void Tag(std::string_view text) { header.insert(header.end(), text.begin(), text.end()); }
    void Number(uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            const int shift = 8 * (order == std::endian::big ? bytes - 1 - i : i);
            header.push_back(static_cast<uint8_t>(value >> shift));
        }
    }
    // A RIFF chunk, padded to an even length as every chunk must start at an even offset.
    void Chunk(const char* id, std::string_view body) {
        Tag(id);
        Number(body.size(), 4);
        Tag(body);
        if (body.size() % 2) header.push_back(0);
    }
    // An INFO item: a string with its terminating zero, as readers of RIFF INFO expect.
    void Item(const char* id, std::string_view text) { Chunk(id, std::string(text).append(1, '\0')); }
};

std::string_view Chars(const std::vector<uint8_t>& bytes) { return {reinterpret_cast<const char*>(bytes.data()), bytes.size()}; }

constexpr const char* InfoIds[TextFieldCount] = {"INAM", "IART", "IPRD", "ITRK", "ICRD", "IGNR", "ICMT"};

void WavFields(Fields& fields, uint64_t dataBytes, int channels, int frequency, const std::vector<uint8_t>& tagChunks,
               uint64_t riffLimit) {
    const bool counted = dataBytes <= riffLimit && tagChunks.size() <= riffLimit - dataBytes;
    const bool rf64 = !counted && dataBytes != UnknownLength;
    const uint64_t headerBytes = (rf64 ? Rf64HeaderBytes : RiffHeaderBytes) + tagChunks.size();
    const auto block = static_cast<uint64_t>(channels) * 2;
    fields.Tag(rf64 ? "RF64" : "RIFF");
    fields.Number(counted ? dataBytes + headerBytes - 8 : Unknown32, 4);  // all after these 8 bytes
    fields.Tag("WAVE");
    if (rf64) {
        fields.Tag("ds64");
        fields.Number(Ds64BodyBytes, 4);
        fields.Number(dataBytes + headerBytes - 8, 8);  // the RIFF size
        fields.Number(dataBytes, 8);
        fields.Number(dataBytes / block, 8);  // sample frames
        fields.Number(0, 4);                  // no table of other long chunks
    }
    fields.Tag("fmt ");
    fields.Number(16, 4);
    fields.Number(1, 2);  // integer PCM
    fields.Number(static_cast<uint64_t>(channels), 2);
    fields.Number(static_cast<uint64_t>(frequency), 4);
    fields.Number(static_cast<uint64_t>(frequency) * block, 4);
    fields.Number(block, 2);
    fields.Number(16, 2);
    fields.header.insert(fields.header.end(), tagChunks.begin(), tagChunks.end());
    fields.Tag("data");
    fields.Number(counted ? dataBytes : Unknown32, 4);
}

// An 80-bit IEEE extended number: sign and 15-bit biased exponent, then 64 bits of
// mantissa whose leading 1 is written out.
void Extended(Fields& fields, int whole) {
    const auto value = static_cast<uint64_t>(whole);
    const auto exponent = static_cast<int>(std::bit_width(value)) - 1;
    fields.Number(value ? 16383 + exponent : 0, 2);
    fields.Number(value ? value << (63 - exponent) : 0, 8);
}

// AIFF has neither a length for a stream nor a 64-bit one: a length unknown or over its
// 32-bit sizes is given as the most whole sample frames they hold, a header that agrees
// with itself. sox and FFmpeg read such a pipe to its end; FFmpeg reads none whose FORM or
// SSND size is 0, or whose frame count overflows its SSND size.
void AiffFields(Fields& fields, uint64_t dataBytes, int channels, int frequency) {
    const auto block = static_cast<uint64_t>(channels) * 2;
    const uint64_t data = std::min(dataBytes, (Unknown32 - (AiffHeaderBytes - 8)) / block * block);
    fields.Tag("FORM");
    fields.Number(data + AiffHeaderBytes - 8, 4);  // all after these 8 bytes
    fields.Tag("AIFF");
    fields.Tag("COMM");
    fields.Number(18, 4);
    fields.Number(static_cast<uint64_t>(channels), 2);
    fields.Number(data / block, 4);  // sample frames
    fields.Number(16, 2);
    Extended(fields, frequency);
    fields.Tag("SSND");
    fields.Number(data + 8, 4);
    fields.Number(0, 4);  // no offset to the samples
    fields.Number(0, 4);  // nor blocks to align them to
}

void SunFields(Fields& fields, uint64_t dataBytes, int channels, int frequency) {
    fields.Tag(".snd");
    fields.Number(SunHeaderBytes, 4);  // where the samples start
    fields.Number(std::min<uint64_t>(dataBytes, Unknown32), 4);
    fields.Number(3, 4);  // 16-bit linear PCM
    fields.Number(static_cast<uint64_t>(frequency), 4);
    fields.Number(static_cast<uint64_t>(channels), 4);
    fields.Number(0, SunHeaderBytes - 24);
}

// Moves `length` bytes at `from` up by `by`, from the end backwards so that every piece is
// read before anything lands on it.
bool MoveUp(std::FILE* file, uint64_t from, uint64_t length, uint64_t by) {
    // The room is claimed first: a full disk then stops the move before it overwrites any data.
    if (std::fflush(file) != 0 || posix_fallocate(fileno(file), 0, static_cast<off_t>(from + length + by)) != 0)
        return false;
    const std::unique_ptr<uint8_t[]> piece(new (std::nothrow) uint8_t[MovePieceBytes]);
    if (!piece) return false;
    for (uint64_t end = from + length; end > from;) {
        const uint64_t size = std::min(MovePieceBytes, end - from);
        end -= size;
        if (fseeko(file, static_cast<off_t>(end), SEEK_SET) != 0 || std::fread(piece.get(), 1, size, file) != size ||
            fseeko(file, static_cast<off_t>(end + by), SEEK_SET) != 0 ||
            std::fwrite(piece.get(), 1, size, file) != size)
            return false;
    }
    return true;
}

}  // namespace

std::endian ByteOrder(PcmFormat format) {
    constexpr std::endian Orders[] = {std::endian::native, std::endian::little, std::endian::big, std::endian::big};
    return Orders[static_cast<size_t>(format)];
}

std::vector<uint8_t> WavTagChunks(const StreamTags& tags, std::string_view software) {
    Fields info{std::endian::little};
    info.Tag("INFO");
    for (size_t field = 0; field < TextFieldCount; ++field)
        if (!tags.fields[field].empty()) info.Item(InfoIds[field], tags.fields[field]);
    info.Item("ISFT", software);
    Fields chunks{std::endian::little};
    chunks.Chunk("LIST", Chars(info.header));
    if (!tags.id3v2.empty()) chunks.Chunk("id3 ", Chars(tags.id3v2));
    return chunks.header;
}

PcmHeaderBytes PcmHeader(PcmFormat format, uint64_t dataBytes, int channels, int frequency,
                         const std::vector<uint8_t>& tagChunks, uint64_t riffLimit) {
    Fields fields{ByteOrder(format)};
    switch (format) {
        case PcmFormat::Raw: break;
        case PcmFormat::Wav: WavFields(fields, dataBytes, channels, frequency, tagChunks, riffLimit); break;
        case PcmFormat::Aiff: AiffFields(fields, dataBytes, channels, frequency); break;
        case PcmFormat::Sun: SunFields(fields, dataBytes, channels, frequency); break;
    }
    return fields.header;
}

bool CompletePcmFile(std::FILE* file, const PcmHeaderBytes& header, size_t written, uint64_t dataBytes) {
    if (header.size() > written && !MoveUp(file, written, dataBytes, header.size() - written)) return false;
    return std::fseek(file, 0, SEEK_SET) == 0 && std::fwrite(header.data(), 1, header.size(), file) == header.size();
}

}  // namespace vortax
