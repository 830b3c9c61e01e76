// vortax_read: the frames decoded straight into the client's buffer, in the encoding the
// client chose, what does not fit kept for the next call.
#include <algorithm>
#include <cstring>

#include "state.h"

namespace vortax {

namespace {

bool SameFormat(const PcmBlock& a, const PcmBlock& b) {
    return a.width == b.width && a.stereo == b.stereo && a.frequency == b.frequency;
}

// Tells the client the format of what a call gave.
void ShowFormat(EngineContext* context, const PcmBlock& format) {
    context->pcm.width = format.width;
    context->pcm.stereo = format.stereo;
    context->pcm.frequency = format.frequency;
}

// Decodes frames into the block until one gives PCM (gapless trimming can leave none):
// VORTAX_OK with its format in state.given, or the code that ends the call.
int32_t NextBlock(EngineContext* context) {
    EngineState& state = *context->state;
    for (;;) {
        const int32_t code = DecodePulled(context);
        if (code == VORTAX_INVALID_FRAME) continue;
        if (code < 0) return code;
        state.blockBytes = static_cast<size_t>(context->pcm.size);
        state.blockGiven = 0;
        state.given = context->pcm;
        if (state.blockBytes > 0) return VORTAX_OK;
    }
}

}  // namespace

}  // namespace vortax

using namespace vortax;

extern "C" {

int vortax_set_encoding(EngineContext* context, int encoding) {
    if (!context || (encoding != VORTAX_ENC_S16 && encoding != VORTAX_ENC_F32)) return VORTAX_INVALID_PARAMETERS;
    context->state->encoding = encoding;
    return VORTAX_OK;
}

int vortax_read(EngineContext* context, void* buffer, size_t bytes, size_t* done) {
    if (!context || !done || (!buffer && bytes > 0)) return VORTAX_INVALID_PARAMETERS;
    *done = 0;
    EngineState& state = *context->state;
    auto* out = static_cast<uint8_t*>(buffer);
    while (*done < bytes) {
        if (state.blockGiven == state.blockBytes) {
            const PcmBlock before = state.given;
            if (const int32_t code = NextBlock(context); code < 0) {
                ShowFormat(context, before);
                return *done > 0 ? VORTAX_OK : code;
            }
            // One format a call: the new one waits for the next.
            if (*done > 0 && !SameFormat(before, state.given)) {
                ShowFormat(context, before);
                return VORTAX_OK;
            }
        }
        const size_t count = std::min(bytes - *done, state.blockBytes - state.blockGiven);
        std::memcpy(out + *done, state.block.data() + state.blockGiven, count);
        state.blockGiven += count;
        *done += count;
    }
    ShowFormat(context, state.given);
    return VORTAX_OK;
}

}
