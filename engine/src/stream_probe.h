// What the first frame of a stream tells before decoding: its format and, from a Xing or
// Info frame, the frame and byte counts, the seek table and the encoder's delay and padding.
#pragma once

#include <cstdint>

#include "containers.h"
#include "frame_header.h"
#include "vortax.h"
#include "xing.h"

namespace vortax {

struct StreamProbe {
    Container container;    // what holds the stream
    bool valid = false;     // a first frame was found
    FrameHeader header;     // of the first frame
    XingFrame xing;         // all unset unless the first frame is a Xing or Info frame
    int32_t tag_bytes = 0;  // bytes of the tags before the first frame
};

// Tells what the input is and, unless it is another format, looks for the first frame as
// the frame reader would, past any tags and a bounded stretch of junk. Every byte read is
// kept, to be read again: the input is never sought back, and one that cannot seek loses
// nothing.
StreamProbe ProbeStream(EngineContext* context);

}  // namespace vortax
