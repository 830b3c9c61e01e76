// The layer I and layer II decoders: one frame body into subband samples, handed 32 at a
// time to the synthesis of each routed channel.
#pragma once

#include "bitstream.h"
#include "decode.h"
#include "frame_header.h"
#include "tables/layer12_tables.h"

namespace vortax {

// bits is at the first bit after the header and its CRC. Both throw FrameFault on a
// frame they cannot decode, before any sample reaches synthesis.
void DecodeLayer1(BitReader& bits, const FrameHeader& header, const Routing& routing);
void DecodeLayer2(BitReader& bits, const FrameHeader& header, const Routing& routing);

// The layer II allocation table of a frame: by the bit rate a channel and the sampling
// frequency for MPEG-1, the low-sampling-frequency table for MPEG-2.
const AllocationTable& ChooseAllocationTable(const FrameHeader& header);

}  // namespace vortax
