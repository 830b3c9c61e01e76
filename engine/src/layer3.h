// The layer III decoder: side information, scalefactors, Huffman decoding with
// requantisation, stereo processing, antialias and the hybrid filterbank, for MPEG-1
// (two granules a frame), MPEG-2 and MPEG 2.5 (one granule).
#pragma once

#include <cstdint>

#include "bitstream.h"
#include "decode.h"
#include "frame_header.h"
#include "frame_reader.h"

namespace vortax {

struct Layer3State {
    float overlap[2][18][32] = {};        // each subband's second transform half (by line, then subband), added to the next granule
    uint8_t scalefactors[2][22] = {};     // the long-block scalefactors, reused by the next granule under scfsi
};

void ResetLayer3(Layer3State& state);

// Decodes the frame whose header the reader just delivered and hands its subband samples
// to synthesis: for each granule 18 rows of 32 per routed target. Throws FrameFault for
// faulty side information; a reservoir too short for the frame gives silence.
void DecodeLayer3(Layer3State& state, FrameReader& reader, const FrameHeader& header, const Routing& routing);

// The pieces the decoder is built from.

// The side information's first field: how many bytes before the frame's own main data
// its main data begins, in the reservoir the frames before it filled.
int ReadMainDataBegin(BitReader& bits, const FrameHeader& header);

// Reads one big-value pair with the code table of table_select (its linbits and the
// signs included) into values[0] (x) and values[1] (y).
void ReadPair(BitReader& bits, int table_select, int values[2]);

// Reads one count1 quadruple with table A (0) or B (1), signs included, into v, w, x, y.
void ReadQuadruple(BitReader& bits, int count1table_select, int values[4]);

// sign(value) x |value|^(4/3) x 2^(quarterSteps / 4), for |value| up to 8206 and quarter
// steps from -392 to 45, the range the side information and scalefactors allow.
float Requantize(int value, int quarterSteps);

// What intensity stereo multiplies the coded channel's lines by to give the left and
// the right channel.
struct IntensityFactors {
    float left;
    float right;
};

// MPEG-1: is_pos 0 to 6 pan from right to left.
IntensityFactors Mpeg1Intensity(int is_pos);

// MPEG-2 and 2.5: is_pos steps one channel down by 2^(-1/4) (intensity_scale 0) or
// 2^(-1/2) (intensity_scale 1), odd positions the left, even ones the right.
IntensityFactors Mpeg2Intensity(int is_pos, int intensity_scale);

}  // namespace vortax
