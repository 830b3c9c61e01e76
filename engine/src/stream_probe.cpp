#include "stream_probe.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "state.h"

namespace vortax {

namespace {

// Junk before the first frame that the probe looks through; the reader looks further.
constexpr int32_t ProbeJunkBytes = 64 * 1024;

// The most the sniffer is given to look at: a damaged size in a tag or a chunk can ask for
// gigabytes, and past this it decides on what it has.
constexpr size_t SniffBytes = 64 << 20;

// Reads the input's first bytes until the sniffer can tell what holds them.
int32_t Sniff(EngineContext* context, Container& container) {
    std::vector<uint8_t> first;
    bool ended = false;
    for (size_t need; (need = SniffContainer(first.data(), first.size(), ended, container)) != 0;) {
        if (need > SniffBytes) {
            ended = true;
            continue;
        }
        size_t got = first.size();
        first.resize(need);
        while (got < need) {
            const int32_t count = ReadInput(context, first.data() + got, static_cast<int32_t>(std::min<size_t>(need - got, INT32_MAX)));
            if (count < 0) return count;
            if (count == 0) {
                ended = true;
                break;
            }
            got += static_cast<size_t>(count);
        }
        first.resize(got);
    }
    return VORTAX_OK;
}

}  // namespace

StreamProbe ProbeStream(EngineContext* context) {
    EngineState& state = *context->state;
    FrameReader& reader = state.reader;
    StreamProbe probe;
    // What the probe reads is kept and read again from the start, by each step.
    state.probing = true;
    state.aheadRead = 0;
    if (Sniff(context, probe.container) < 0) probe.container = Container{};
    if (probe.container.kind != ContainerKind::Other) {
        state.aheadRead = 0;
        ResetSource(state.source, probe.container, 0);
        probe.valid = FindFrame(context, reader, ProbeJunkBytes) == VORTAX_OK;
    }
    state.probing = false;
    state.aheadRead = 0;
    probe.tag_bytes = reader.tag_bytes;
    if (probe.valid) {
        probe.header = reader.header;
        const uint8_t* frame = FoundFrame(reader);
        if (IsXingFrame(frame, probe.header)) probe.xing = ReadXingFrame(frame, probe.header);
    }
    ResetFrameReader(reader);
    ResetSource(state.source, probe.container, 0);
    return probe;
}

}  // namespace vortax
