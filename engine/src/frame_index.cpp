#include "frame_index.h"

#include <algorithm>

#include "layer3.h"
#include "state.h"

namespace vortax {

namespace {

// The samples a frame's output depends on before it: the synthesis filterbank's 16 blocks
// of 32, and in layer III the granule of 576 before those, whose transforms overlap theirs.
constexpr int64_t HistorySamples = 16 * 32 + 576;

}  // namespace

int32_t IndexFrames(EngineContext* context, FrameReader& reader, FrameIndex& index) {
    index = FrameIndex{};
    FrameHeader header;
    int32_t code = VORTAX_OK;
    while ((code = ReadNextFrame(context, reader, header)) == VORTAX_OK) {
        const bool layer3 = header.layer == 3;
        BitReader bits;
        FrameBits(reader, bits);
        const auto end = static_cast<int64_t>(context->state->source.passed) - UnreadBytes(reader);
        index.frames.push_back({end - header.length, index.samples,
                                static_cast<uint16_t>(layer3 ? ReadMainDataBegin(bits, header) : 0),
                                static_cast<uint16_t>(layer3 ? reader.main_bytes : 0)});
        index.samples += SamplesPerFrame(header);
    }
    index.built = code == VORTAX_INPUT_END;
    return index.built ? VORTAX_OK : code;
}

size_t FrameHolding(const FrameIndex& index, int64_t sample) {
    const auto after = std::upper_bound(index.frames.begin(), index.frames.end(), sample,
                                        [](int64_t s, const IndexedFrame& frame) { return s < frame.sample; });
    return static_cast<size_t>(std::max<ptrdiff_t>(1, after - index.frames.begin())) - 1;
}

// Far enough back for the filterbanks' history, and then for the reservoir that the first
// frame of that history takes its main data from (the frames after it take theirs later on).
size_t WarmUpStart(const FrameIndex& index, size_t target) {
    const std::vector<IndexedFrame>& frames = index.frames;
    size_t first = target;
    while (first > 0 && frames[target].sample - frames[first].sample < HistorySamples) --first;
    for (int needed = frames[first].main_data_begin; first > 0 && needed > 0;) needed -= frames[--first].main_bytes;
    return first;
}

}  // namespace vortax
