#include "stream_probe.h"

#include "state.h"

namespace vortax {

namespace {

// Junk before the first frame that the probe looks through; the reader looks further.
constexpr int32_t ProbeJunkBytes = 64 * 1024;

}  // namespace

StreamProbe ProbeStream(EngineContext* context) {
    EngineState& state = *context->state;
    FrameReader& reader = state.reader;
    StreamProbe probe;
    state.probing = true;
    probe.valid = FindFrame(context, reader, ProbeJunkBytes) == VORTAX_OK;
    state.probing = false;
    probe.tag_bytes = reader.tag_bytes;
    if (probe.valid) {
        probe.header = reader.header;
        const uint8_t* frame = FoundFrame(reader);
        if (IsXingFrame(frame, probe.header)) probe.xing = ReadXingFrame(frame, probe.header);
    }
    ResetFrameReader(reader);
    return probe;
}

}  // namespace vortax
