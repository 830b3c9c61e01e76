// The frame reader: finds frame headers in the input, reads each frame's body, keeps the
// layer III main-data reservoir, and confirms a frame by the header that follows it.
#pragma once

#include <cstdint>

#include "bitstream.h"
#include "frame_header.h"
#include "vortax.h"

struct FrameReader {
    uint8_t frame[2048] = {};  // a layer I or II body, or layer III side information
    int frame_bytes = 0;
    uint8_t ring[4096] = {};   // layer III main data, written round
    int write = 0;             // where the next main data goes in the ring
    int main_start = 0;        // where this frame's own main data starts
    int main_bytes = 0;        // how much of it this frame brought
    int reservoir = 0;         // main-data bytes held, at most 4096
    uint8_t main_data[4096] = {};  // this frame's main data, laid out straight for the bit reader
    int step = 0;              // 0 need a header, 1 reading the body, 4 need the next header
    FrameHeader header;        // of the frame being read
    uint32_t lookahead = 0;    // the next frame's header, read to confirm this one
    bool has_lookahead = false;
    bool at_start = true;      // the next search starts the stream (where a tag may lead)
    bool ended = false;        // a tag followed the last frame: nothing more to read
};

void ResetFrameReader(FrameReader& reader);

// Reads the next confirmed frame through input_read: 0 with its header, VORTAX_INPUT_END
// at the end of the input, or the input's code.
int32_t ReadNextFrame(EngineContext* context, FrameReader& reader, FrameHeader& header);

// The bits of the frame buffer: after the header and its CRC, the layer I or II body or
// the layer III side information.
void FrameBits(const FrameReader& reader, BitReader& bits);

// Points `bits` at this layer III frame's main data, which begins mainDataBegin bytes
// before the frame's own part; false when the reservoir holds too little of it.
bool MainData(FrameReader& reader, int mainDataBegin, BitReader& bits);

// What the first frame of a stream tells: its format and, from a Xing header, the frame
// count (then the stream is taken as variable bit rate) and the seek table. A Xing header,
// or its twin "Info" in constant-bit-rate files, may carry the encoder's extension with the
// samples it added before the audio (delay) and after it (padding); it is believed only
// when its checksum holds.
struct StreamProbe {
    bool valid = false;
    FrameHeader header;
    bool xing = false;
    uint32_t xing_frames = 0;
    bool has_table = false;
    uint8_t table[100] = {};
    bool encoder = false;
    int encoder_delay = 0;    // samples per channel
    int encoder_padding = 0;  // samples per channel
};
StreamProbe ProbeStream(const uint8_t* bytes, int length);

// Bytes of an ID3v2 tag that starts these bytes (its header gives them), or 0.
int32_t Id3v2Length(const uint8_t* bytes, int length);
