#include "frame_reader.h"

#include <cstring>

namespace {

constexpr int RingSize = 4096;
constexpr int HeaderBytes = 4;
constexpr int Id3v2HeaderBytes = 10;

enum Step { NeedHeader = 0, ReadingBody = 1, NeedNextHeader = 4 };

uint32_t Word(const uint8_t* b) {
    return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

// A tag after the last frame ends the stream: its bytes are no audio, and a picture in
// it could pass for frames.
bool StartsTag(const uint8_t* b) {
    return std::memcmp(b, "TAG", 3) == 0 || std::memcmp(b, "APET", 4) == 0 || std::memcmp(b, "ID3", 3) == 0;
}

int32_t Read(EngineContext* context, void* buffer, int32_t length) {
    return length > 0 ? input_read(context, buffer, length) : VORTAX_OK;
}

// Skips `length` bytes of the input by reading them.
int32_t Skip(EngineContext* context, int32_t length) {
    uint8_t scratch[512];
    while (length > 0) {
        const int32_t piece = length < static_cast<int32_t>(sizeof scratch) ? length : static_cast<int32_t>(sizeof scratch);
        if (const int32_t code = Read(context, scratch, piece); code < 0) return code;
        length -= piece;
    }
    return VORTAX_OK;
}

// Searches the input for the next valid header: four bytes, then one more at a time until
// eleven set bits lead; an invalid header starts the search again with four fresh bytes.
int32_t FindHeader(EngineContext* context, FrameReader& reader, FrameHeader& header) {
    for (;;) {
        uint8_t bytes[Id3v2HeaderBytes];
        if (const int32_t code = Read(context, bytes, HeaderBytes); code < 0) return code;
        if (reader.at_start) {
            reader.at_start = false;
            if (std::memcmp(bytes, "ID3", 3) == 0) {
                if (const int32_t code = Read(context, bytes + HeaderBytes, Id3v2HeaderBytes - HeaderBytes); code < 0)
                    return code;
                const int32_t tag = Id3v2Length(bytes, Id3v2HeaderBytes);
                if (const int32_t code = Skip(context, tag - Id3v2HeaderBytes); code < 0) return code;
                continue;
            }
        }
        uint32_t word = Word(bytes);
        while ((word >> 21) != 0x7FF) {
            uint8_t next = 0;
            if (const int32_t code = Read(context, &next, 1); code < 0) return code;
            word = (word << 8) | next;
        }
        if (ParseHeader(word, header)) return VORTAX_OK;
    }
}

// Reads the body of the frame whose header was just read.
int32_t ReadBody(EngineContext* context, FrameReader& reader) {
    const FrameHeader& header = reader.header;
    const int crcBytes = header.crc ? 2 : 0;
    if (header.layer != 3) {
        reader.frame_bytes = header.length - HeaderBytes;
        return Read(context, reader.frame, reader.frame_bytes);
    }
    reader.frame_bytes = header.side_info + crcBytes;
    if (const int32_t code = Read(context, reader.frame, reader.frame_bytes); code < 0) return code;
    const int mainBytes = header.length - HeaderBytes - reader.frame_bytes;
    if (mainBytes < 0) return VORTAX_INVALID_FRAME;
    const int first = mainBytes < RingSize - reader.write ? mainBytes : RingSize - reader.write;
    if (const int32_t code = Read(context, reader.ring + reader.write, first); code < 0) return code;
    if (const int32_t code = Read(context, reader.ring, mainBytes - first); code < 0) return code;
    reader.main_start = reader.write;
    reader.main_bytes = mainBytes;
    reader.write = (reader.write + mainBytes) % RingSize;
    reader.reservoir += mainBytes;
    return VORTAX_OK;
}

// Reads the header after the frame. True when the frame is confirmed: the next header
// is valid (and kept), or the input ends, or a tag follows.
int32_t ConfirmFrame(EngineContext* context, FrameReader& reader, bool& confirmed) {
    uint8_t bytes[HeaderBytes];
    const int32_t code = Read(context, bytes, HeaderBytes);
    if (code == VORTAX_INPUT_END || (code >= 0 && StartsTag(bytes))) {
        reader.ended = true;
        confirmed = true;
        return VORTAX_OK;
    }
    if (code < 0) return code;
    FrameHeader next;
    confirmed = ParseHeader(Word(bytes), next);
    reader.has_lookahead = confirmed;
    reader.lookahead = Word(bytes);
    return VORTAX_OK;
}

// CRC-16 with the polynomial 0x8005, bits reflected, as the encoder's extension carries it.
uint16_t Checksum(const uint8_t* bytes, int length) {
    uint16_t crc = 0;
    for (int i = 0; i < length; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) crc = crc & 1 ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

// The encoder's extension: 36 bytes after the Xing fields, the delay and padding (12 bits
// each) at byte 21, and at byte 34 a checksum of the frame up to there.
void ReadEncoderExtension(const uint8_t* bytes, int at, int end, StreamProbe& probe) {
    constexpr int Length = 36;
    constexpr int DelayAt = 21;
    constexpr int ChecksumAt = 34;
    if (at + Length > end) return;
    const int checksumAt = at + ChecksumAt;
    const uint16_t stored = static_cast<uint16_t>(bytes[checksumAt] << 8 | bytes[checksumAt + 1]);
    if (Checksum(bytes, checksumAt) != stored) return;
    const uint8_t* d = bytes + at + DelayAt;
    probe.encoder = true;
    probe.encoder_delay = d[0] << 4 | d[1] >> 4;
    probe.encoder_padding = (d[1] & 0x0F) << 8 | d[2];
}

}  // namespace

void ResetFrameReader(FrameReader& reader) {
    reader.frame_bytes = 0;
    reader.write = 0;
    reader.main_start = 0;
    reader.main_bytes = 0;
    reader.reservoir = 0;
    reader.step = NeedHeader;
    reader.has_lookahead = false;
    reader.at_start = true;
    reader.ended = false;
}

int32_t ReadNextFrame(EngineContext* context, FrameReader& reader, FrameHeader& header) {
    for (;;) {
        if (reader.ended) return VORTAX_INPUT_END;
        if (reader.step == NeedHeader) {
            if (reader.has_lookahead) {
                reader.has_lookahead = false;
                ParseHeader(reader.lookahead, reader.header);
            } else if (const int32_t code = FindHeader(context, reader, reader.header); code < 0) {
                return code;
            }
            reader.step = ReadingBody;
        }
        if (reader.step == ReadingBody) {
            if (const int32_t code = ReadBody(context, reader); code < 0) return code;
            reader.step = NeedNextHeader;
        }
        bool confirmed = false;
        if (const int32_t code = ConfirmFrame(context, reader, confirmed); code < 0) return code;
        reader.step = NeedHeader;
        if (confirmed) {
            header = reader.header;
            return VORTAX_OK;
        }
    }
}

void FrameBits(const FrameReader& reader, BitReader& bits) {
    const int crcBytes = reader.header.crc ? 2 : 0;
    ResetBits(bits, reader.frame + crcBytes, static_cast<size_t>(reader.frame_bytes - crcBytes));
}

bool MainData(FrameReader& reader, int mainDataBegin, BitReader& bits) {
    const int bytes = mainDataBegin + reader.main_bytes;
    if (reader.reservoir < bytes || bytes > RingSize) return false;
    if (reader.reservoir > RingSize) reader.reservoir = RingSize;
    const int start = ((reader.main_start - mainDataBegin) % RingSize + RingSize) % RingSize;
    const int first = bytes < RingSize - start ? bytes : RingSize - start;
    std::memcpy(reader.main_data, reader.ring + start, static_cast<size_t>(first));
    std::memcpy(reader.main_data + first, reader.ring, static_cast<size_t>(bytes - first));
    ResetBits(bits, reader.main_data, static_cast<size_t>(bytes));
    return true;
}

int32_t Id3v2Length(const uint8_t* bytes, int length) {
    if (length < Id3v2HeaderBytes || std::memcmp(bytes, "ID3", 3) != 0) return 0;
    // The size is four 7-bit bytes; a footer adds ten more bytes.
    int32_t size = 0;
    for (int i = 6; i < 10; ++i) size = (size << 7) | (bytes[i] & 0x7F);
    const bool footer = bytes[5] & 0x10;
    return Id3v2HeaderBytes + size + (footer ? Id3v2HeaderBytes : 0);
}

StreamProbe ProbeStream(const uint8_t* bytes, int length) {
    StreamProbe probe;
    if (length < HeaderBytes || bytes[0] != 0xFF || bytes[1] < 0xE0) return probe;
    if (!ParseHeader(Word(bytes), probe.header)) return probe;
    probe.valid = true;
    const FrameHeader& h = probe.header;
    const int at = h.lsf() ? (h.channels() == 1 ? 13 : 21) : (h.channels() == 1 ? 21 : 36);
    // Nothing is read past the frame, nor past the bytes at hand.
    const int end = length < h.length ? length : h.length;
    auto fits = [&](int offset, int size) { return offset + size <= end; };
    if (!fits(at, 8)) return probe;
    const bool xing = std::memcmp(bytes + at, "Xing", 4) == 0;
    if (!xing && std::memcmp(bytes + at, "Info", 4) != 0) return probe;
    const uint32_t flags = Word(bytes + at + 4);
    int offset = at + 8;
    if (flags & 1) {
        if (!fits(offset, 4)) return probe;
        probe.xing = xing;
        probe.xing_frames = Word(bytes + offset);
        offset += 4;
    }
    if (flags & 2) offset += 4;
    if (flags & 4) {
        if (xing && fits(offset, 100)) {
            probe.has_table = true;
            std::memcpy(probe.table, bytes + offset, 100);
        }
        offset += 100;
    }
    if (flags & 8) offset += 4;
    ReadEncoderExtension(bytes, offset, end, probe);
    return probe;
}
