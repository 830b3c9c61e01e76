#include "frame_reader.h"

#include <algorithm>
#include <cstring>

#include "source.h"
#include "xing.h"

namespace vortax {

namespace {

constexpr int RingSize = 4096;
constexpr int CrcBytes = 2;
constexpr int WindowBytes = static_cast<int>(sizeof FrameReader::window);
// How far into the window a header or a tag is looked for: a tag's first bytes fit beyond.
constexpr int ReachBytes = (RunFrames - 1) * MaxFrameBytes;

const uint8_t* Window(const FrameReader& reader) { return reader.window + reader.window_start; }
int Available(const FrameReader& reader) { return reader.window_end - reader.window_start; }

void Drop(FrameReader& reader, int bytes) {
    reader.window_start += bytes;
    if (reader.window_start == reader.window_end) reader.window_start = reader.window_end = 0;
}

// Reads until the window holds `bytes`, no more (the frame after a frame is read as it
// comes), or until the input ends: VORTAX_INPUT_END then, with what there was kept.
int32_t Fill(EngineContext* context, FrameReader& reader, int bytes) {
    const int have = Available(reader);
    if (have >= bytes) return VORTAX_OK;
    if (reader.ended) return VORTAX_INPUT_END;
    if (reader.window_start + bytes > WindowBytes) {
        std::memmove(reader.window, Window(reader), static_cast<size_t>(have));
        reader.window_start = 0;
        reader.window_end = have;
    }
    while (Available(reader) < bytes) {
        const int32_t count = ReadSource(context, reader.window + reader.window_end, bytes - Available(reader));
        if (count < 0) return count;
        if (count == 0) {
            reader.ended = true;
            return VORTAX_INPUT_END;
        }
        reader.window_end += count;
    }
    return VORTAX_OK;
}

// Passes the rest of a tag, which may run to the end of the input.
int32_t SkipTag(EngineContext* context, FrameReader& reader) {
    while (reader.skip > 0) {
        if (Available(reader) == 0) {
            if (const int32_t code = Fill(context, reader, std::min(reader.skip, WindowBytes)); code < 0 && Available(reader) == 0)
                return code;
        }
        const int taken = std::min(reader.skip, Available(reader));
        Drop(reader, taken);
        reader.skip -= taken;
    }
    return VORTAX_OK;
}

// The length of a tag `offset` bytes into the window, or 0; a tag the input ends too soon
// to tell is none.
int32_t TagAt(EngineContext* context, FrameReader& reader, int offset, int32_t& length) {
    for (;;) {
        length = TagLength(Window(reader) + offset, Available(reader) - offset);
        if (length >= 0) return VORTAX_OK;
        const int32_t code = Fill(context, reader, offset - length);
        if (code == VORTAX_INPUT_END) length = 0;
        if (code < 0) return code == VORTAX_INPUT_END ? VORTAX_OK : code;
    }
}

// No frame is shorter than its header, its CRC and its side information.
int ShortestFrame(const FrameHeader& header) { return HeaderBytes + (header.crc ? CrcBytes : 0) + header.side_info; }

// A tag met in junk may be junk itself, whose length would pass over audio: it counts only
// where what ends it is seen, a header, another tag or the end of the input (`length` 0
// when it does not count).
int32_t CheckTag(EngineContext* context, FrameReader& reader, int32_t& length) {
    if (length > ReachBytes) {
        length = 0;
        return VORTAX_OK;
    }
    int32_t code = Fill(context, reader, length + HeaderBytes);
    if (code == VORTAX_INPUT_END) {
        if (Available(reader) < length) length = 0;
        return VORTAX_OK;
    }
    if (code < 0) return code;
    FrameHeader next;
    if (ParseHeader(WordAt(Window(reader) + length), next)) return VORTAX_OK;
    int32_t after = 0;
    if ((code = TagAt(context, reader, length, after)) < 0) return code;
    if (after == 0) length = 0;
    return VORTAX_OK;
}

// Measures a free-format stream's frame length: the distance from the header `offset`
// bytes into the window to the next header of its stream. None of the stream, padded or
// not, is to be longer than MaxFrameBytes.
int32_t MeasureFreeFormat(EngineContext* context, FrameReader& reader, int offset, const FrameHeader& header) {
    const int padding = PaddingBytes(header);
    const int longest = MaxFrameBytes - SlotBytes(header) + padding;
    for (int distance = ShortestFrame(header) + padding; distance <= longest; ++distance) {
        const int32_t code = Fill(context, reader, offset + distance + HeaderBytes);
        if (code == VORTAX_INPUT_END) return FrameNotFound;
        if (code < 0) return code;
        FrameHeader next;
        if (!ParseHeader(WordAt(Window(reader) + offset + distance), next) || next.bitrate_index != 0 ||
            !SameStream(header, next))
            continue;
        reader.free_length = distance - padding;
        reader.free_format = header;
        return VORTAX_OK;
    }
    return FrameNotFound;
}

// Gives a header its length, and whether the frame is whole in the window: VORTAX_INPUT_END
// for one the input ends inside. A free-format stream's frame length is measured once,
// then taken for the frames that follow, each with its own padding; a length measured on
// a frame of one channel can be too short for the side information of two.
int32_t Measure(EngineContext* context, FrameReader& reader, int offset, FrameHeader& header) {
    if (header.bitrate_index == 0) {
        const bool known = reader.free_length > 0 && SameStream(header, reader.free_format) && (reader.synced || offset > 0);
        if (!known) {
            if (const int32_t code = MeasureFreeFormat(context, reader, offset, header); code != VORTAX_OK) return code;
        }
        SetFreeFormatLength(header, reader.free_length);
        if (header.length < ShortestFrame(header)) return FrameNotFound;
    }
    return Fill(context, reader, offset + header.length);
}

// What follows frames that end `offset` bytes into the window: a header of the stream
// (`more`, with it in `next`), or else the input's end or a tag (VORTAX_OK), or junk.
int32_t Follows(EngineContext* context, FrameReader& reader, int offset, const FrameHeader& stream, FrameHeader& next,
                bool& more) {
    more = false;
    int32_t code = Fill(context, reader, offset + HeaderBytes);
    if (code == VORTAX_INPUT_END) return VORTAX_OK;
    if (code < 0) return code;
    if (ParseHeader(WordAt(Window(reader) + offset), next) && SameStream(stream, next)) {
        more = true;
        return VORTAX_OK;
    }
    int32_t tag = 0;
    if ((code = TagAt(context, reader, offset, tag)) < 0) return code;
    return tag > 0 ? VORTAX_OK : FrameNotFound;
}

// Whether the valid header at the start of the window begins a frame, whole in the window
// and with its length set, by the evidence FindFrame asks for: the headers of the frames
// that follow it, every frame but the last of them whole.
int32_t CheckFrame(EngineContext* context, FrameReader& reader, FrameHeader& header) {
    const bool continues = reader.streaming && SameStream(header, reader.previous);
    int32_t code = Measure(context, reader, 0, header);
    if (code != VORTAX_OK) return code == VORTAX_INPUT_END ? FrameNotFound : code;
    if (continues && reader.synced) return VORTAX_OK;
    const int needed = continues ? 2 : RunFrames;
    // Frames the input or a tag ends count as a run; a lone one only where it can be all.
    const int32_t ended = continues || reader.at_start ? VORTAX_OK : FrameNotFound;
    FrameHeader frame = header;
    int offset = header.length;
    for (int headers = 1;; offset += frame.length) {
        bool more = false;
        if ((code = Follows(context, reader, offset, header, frame, more)) != VORTAX_OK) return code;
        if (!more) return headers > 1 ? VORTAX_OK : ended;
        if (++headers == needed) return VORTAX_OK;
        if ((code = Measure(context, reader, offset, frame)) != VORTAX_OK) return code == VORTAX_INPUT_END ? VORTAX_OK : code;
    }
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
    reader.ended = false;
    reader.skip = 0;
    reader.at_start = true;
    reader.in_junk = false;
    reader.synced = false;
    reader.streaming = false;
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
        if (tag > 0 && reader.in_junk) {
            if (const int32_t code = CheckTag(context, reader, tag); code < 0) return code;
        }
        if (tag > 0) {
            reader.skip = tag;
            reader.tag_bytes += tag;
            reader.in_junk = false;
            continue;
        }
        reader.at_start = false;
        reader.in_junk = true;
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
        reader.streaming = true;
        reader.at_start = false;
        reader.in_junk = false;
        reader.previous = reader.header;
        if (audio) {
            header = reader.header;
            return VORTAX_OK;
        }
    }
}

int UnreadBytes(const FrameReader& reader) { return Available(reader); }

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
