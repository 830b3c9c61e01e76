// The frame reader: finds the frames in the input, passing the tags and junk between them,
// takes each frame's body, and keeps the layer III main-data reservoir.
#pragma once

#include <cstdint>

#include "bitstream.h"
#include "frame_header.h"
#include "tags.h"
#include "vortax.h"

namespace vortax {

// The longest frame taken: beyond every bit rate of the tables, for free-format streams.
constexpr int MaxFrameBytes = 4096;

// FindFrame's answer when its limit of junk went by without a frame.
constexpr int32_t FrameNotFound = 1;

// The frames of one stream in a row that show a stream starts where a search found a header.
constexpr int RunFrames = 3;

struct FrameReader {
    uint8_t frame[MaxFrameBytes] = {};  // a layer I or II body, or layer III side information
    int frame_bytes = 0;
    uint8_t ring[4096] = {};   // layer III main data, written round
    int write = 0;             // where the next main data goes in the ring
    int main_start = 0;        // where this frame's own main data starts
    int main_bytes = 0;        // how much of it this frame brought
    int reservoir = 0;         // main-data bytes held, at most 4096
    uint8_t main_data[4096] = {};  // this frame's main data, laid out straight for the bit reader
    // Bytes read and not yet taken: the run of frames that shows a stream starts, and the
    // first bytes of a tag after it. A frame is taken only once it is whole here.
    uint8_t window[(RunFrames - 1) * MaxFrameBytes + TagLookBytes] = {};
    int window_start = 0;
    int window_end = 0;
    bool ended = false;        // the input holds no more than the window
    int32_t skip = 0;          // bytes of a tag still to pass
    bool at_start = true;      // nothing but tags passed yet
    bool in_junk = false;      // junk passed since the last frame or tag
    bool synced = false;       // the window starts right after a frame
    bool streaming = false;    // a frame was taken, and `previous` is its header
    FrameHeader previous;
    FrameHeader header;        // of the frame found, then taken
    int free_length = 0;       // a free-format stream's frame length without padding, once measured
    FrameHeader free_format;   // the frame it was measured on
    int32_t tag_bytes = 0;     // bytes of the tags passed
};

void ResetFrameReader(FrameReader& reader);

// Finds the next frame and leaves it whole at the start of the window, its header in
// reader.header. A frame of the stream right after another is taken as it comes. Random
// bytes hold valid-looking headers every few kilobytes, so anything else needs evidence:
// one found by searching inside a stream must be followed by a header of its stream, a tag
// or the end of the input; the start of a stream, or of a stream in another format, by
// RunFrames frames of it (fewer when the input or a tag ends them, a lone frame only at
// the very start of the input). Gives VORTAX_OK, VORTAX_INPUT_END, the input's code, or
// FrameNotFound once `limit` bytes of junk went by (a negative limit: none).
int32_t FindFrame(EngineContext* context, FrameReader& reader, int32_t limit);

// The frame FindFrame found, header first.
const uint8_t* FoundFrame(const FrameReader& reader);

// Takes the next audio frame through input_read: 0 with its header, VORTAX_INPUT_END at
// the end of the input, or the input's code.
int32_t ReadNextFrame(EngineContext* context, FrameReader& reader, FrameHeader& header);

// Bytes read from the source and not yet taken: the frame ReadNextFrame just gave ended
// this many bytes before the end of what was read.
int UnreadBytes(const FrameReader& reader);

// The bits of the frame buffer: after the header and its CRC, the layer I or II body or
// the layer III side information.
void FrameBits(const FrameReader& reader, BitReader& bits);

// Points `bits` at this layer III frame's main data, which begins mainDataBegin bytes
// before the frame's own part; false when the reservoir holds too little of it.
bool MainData(FrameReader& reader, int mainDataBegin, BitReader& bits);

}  // namespace vortax
