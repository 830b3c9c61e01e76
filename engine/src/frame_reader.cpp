#include "frame_reader.h"

#include <algorithm>
#include <cstring>

#include "xing.h"

namespace vortax {

namespace {

constexpr int RingSize = 4096;
constexpr int CrcBytes = 2;
constexpr int WindowBytes = static_cast<int>(sizeof FrameReader::window);

const uint8_t* Window(const FrameReader& reader) { return reader.window + reader.window_start; }
int Available(const FrameReader& reader) { return reader.window_end - reader.window_start; }

void Drop(FrameReader& reader, int bytes) {
    reader.window_start += bytes;
    if (reader.window_start == reader.window_end) reader.window_start = reader.window_end = 0;
}

// Reads until the window holds `bytes`, no more: input modules give a piece whole or not
// at all, so a piece that runs past the end of the input is lost.
int32_t Fill(EngineContext* context, FrameReader& reader, int bytes) {
    const int have = Available(reader);
    if (have >= bytes) return VORTAX_OK;
    if (reader.window_start + bytes > WindowBytes) {
        std::memmove(reader.window, Window(reader), static_cast<size_t>(have));
        reader.window_start = 0;
        reader.window_end = have;
    }
    if (const int32_t code = input_read(context, reader.window + reader.window_end, bytes - have); code < 0) return code;
    reader.window_end += bytes - have;
    return VORTAX_OK;
}

// Passes the rest of a tag.
int32_t SkipTag(EngineContext* context, FrameReader& reader) {
    while (reader.skip > 0) {
        const int piece = std::min(reader.skip, Available(reader) > 0 ? Available(reader) : WindowBytes);
        if (const int32_t code = Fill(context, reader, piece); code < 0) return code;
        Drop(reader, piece);
        reader.skip -= piece;
    }
    return VORTAX_OK;
}

// The length of a tag `offset` bytes into the window, or 0.
int32_t TagAt(EngineContext* context, FrameReader& reader, int offset, int32_t& length) {
    for (;;) {
        length = TagLength(Window(reader) + offset, Available(reader) - offset);
        if (length >= 0) return VORTAX_OK;
        if (const int32_t code = Fill(context, reader, offset - length); code < 0) return code;
    }
}

// Measures a free-format stream's frame length: the distance from this header to the next
// header of its stream. No frame is shorter than its header, a CRC and the side
// information, and none of the stream, padded or not, is to be longer than MaxFrameBytes.
int32_t MeasureFreeFormat(EngineContext* context, FrameReader& reader, const FrameHeader& header) {
    const int padding = PaddingBytes(header);
    const int longest = MaxFrameBytes - SlotBytes(header) + padding;
    for (int distance = HeaderBytes + CrcBytes + header.side_info + padding; distance <= longest; ++distance) {
        if (const int32_t code = Fill(context, reader, distance + HeaderBytes); code < 0) return code;
        FrameHeader next;
        if (!ParseHeader(WordAt(Window(reader) + distance), next) || next.bitrate_index != 0 || !SameStream(header, next))
            continue;
        reader.free_length = distance - padding;
        reader.free_format = header;
        return VORTAX_OK;
    }
    return FrameNotFound;
}

// A free-format frame's length: measured once, then taken for the frames that follow,
// each with its own padding.
int32_t FreeFormatLength(EngineContext* context, FrameReader& reader, FrameHeader& header) {
    const bool known = reader.synced && reader.free_length > 0 && SameStream(header, reader.free_format);
    if (!known) {
        if (const int32_t code = MeasureFreeFormat(context, reader, header); code != VORTAX_OK) return code;
    }
    SetFreeFormatLength(header, reader.free_length);
    return VORTAX_OK;
}

// Whether a frame found by searching is confirmed by what follows it: a header of its
// stream, a tag, or the end of the input.
int32_t Confirm(EngineContext* context, FrameReader& reader, const FrameHeader& header) {
    int32_t code = Fill(context, reader, header.length + HeaderBytes);
    if (code == VORTAX_INPUT_END) return VORTAX_OK;
    if (code < 0) return code;
    FrameHeader next;
    if (ParseHeader(WordAt(Window(reader) + header.length), next) && SameStream(header, next)) return VORTAX_OK;
    int32_t tag = 0;
    code = TagAt(context, reader, header.length, tag);
    if (code == VORTAX_INPUT_END) return VORTAX_OK;
    if (code < 0) return code;
    return tag > 0 ? VORTAX_OK : FrameNotFound;
}

// Whether the valid header at the start of the window begins a frame: its length known,
// all its bytes read (a frame cut short at the end of the input is none), and, unless it
// follows a frame, confirmed.
int32_t CheckFrame(EngineContext* context, FrameReader& reader, FrameHeader& header) {
    if (header.bitrate_index == 0) {
        if (const int32_t code = FreeFormatLength(context, reader, header); code != VORTAX_OK) return code;
    }
    if (const int32_t code = Fill(context, reader, header.length); code < 0) return code;
    return reader.synced ? VORTAX_OK : Confirm(context, reader, header);
}

// Moves the frame found out of the window: a layer I or II body, or layer III side
// information, its main data going to the ring.
void TakeFrame(FrameReader& reader) {
    const FrameHeader& header = reader.header;
    const uint8_t* body = FoundFrame(reader) + HeaderBytes;
    const int crcBytes = header.crc ? CrcBytes : 0;
    reader.frame_bytes = header.layer == 3 ? header.side_info + crcBytes : header.length - HeaderBytes;
    std::memcpy(reader.frame, body, static_cast<size_t>(reader.frame_bytes));
    if (header.layer != 3) return;
    const uint8_t* main = body + reader.frame_bytes;
    const int mainBytes = header.length - HeaderBytes - reader.frame_bytes;
    const int first = std::min(mainBytes, RingSize - reader.write);
    std::memcpy(reader.ring + reader.write, main, static_cast<size_t>(first));
    std::memcpy(reader.ring, main + first, static_cast<size_t>(mainBytes - first));
    reader.main_start = reader.write;
    reader.main_bytes = mainBytes;
    reader.write = (reader.write + mainBytes) % RingSize;
    reader.reservoir += mainBytes;
}

}  // namespace

void ResetFrameReader(FrameReader& reader) {
    reader.frame_bytes = 0;
    reader.write = 0;
    reader.main_start = 0;
    reader.main_bytes = 0;
    reader.reservoir = 0;
    reader.window_start = 0;
    reader.window_end = 0;
    reader.skip = 0;
    reader.synced = false;
    reader.free_length = 0;
    reader.tag_bytes = 0;
}

int32_t FindFrame(EngineContext* context, FrameReader& reader, int32_t limit) {
    for (;;) {
        if (const int32_t code = SkipTag(context, reader); code < 0) return code;
        if (const int32_t code = Fill(context, reader, HeaderBytes); code < 0) return code;
        if (ParseHeader(WordAt(Window(reader)), reader.header)) {
            if (const int32_t code = CheckFrame(context, reader, reader.header); code != FrameNotFound) return code;
        }
        // Junk, or a tag: tags are passed whole, junk a byte at a time.
        reader.synced = false;
        int32_t tag = 0;
        if (const int32_t code = TagAt(context, reader, 0, tag); code < 0) return code;
        if (tag > 0) {
            reader.skip = tag;
            reader.tag_bytes += tag;
            continue;
        }
        if (limit == 0) return FrameNotFound;
        if (limit > 0) --limit;
        Drop(reader, 1);
    }
}

const uint8_t* FoundFrame(const FrameReader& reader) { return Window(reader); }

int32_t ReadNextFrame(EngineContext* context, FrameReader& reader, FrameHeader& header) {
    for (;;) {
        if (const int32_t code = FindFrame(context, reader, -1); code != VORTAX_OK) return code;
        // A Xing or Info frame describes its stream and holds no audio, wherever it stands:
        // a joined stream has one for each of its files.
        const bool audio = !IsXingFrame(FoundFrame(reader), reader.header);
        if (audio) TakeFrame(reader);
        Drop(reader, reader.header.length);
        reader.synced = true;
        if (audio) {
            header = reader.header;
            return VORTAX_OK;
        }
    }
}

void FrameBits(const FrameReader& reader, BitReader& bits) {
    const int crcBytes = reader.header.crc ? CrcBytes : 0;
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

}  // namespace vortax
