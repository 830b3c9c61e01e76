#include "source.h"

#include <algorithm>
#include <cstring>

#include "state.h"

namespace vortax {

namespace {

// The input is read for the demuxer in pieces of this size.
constexpr int32_t PieceBytes = 4096;

int32_t Read(EngineContext* context, Source& source, uint8_t* buffer, int32_t length) {
    const int32_t count = ReadInput(context, buffer, length);
    if (count > 0) source.passed += static_cast<uint64_t>(count);
    return count;
}

// The data chunk of a WAV file: what comes before it is passed, and it ends where its
// length says, before the chunks that may follow it.
int32_t ReadDataChunk(EngineContext* context, Source& source, uint8_t* buffer, int32_t length) {
    const Container& riff = source.container;
    while (source.passed < riff.data_start) {
        const auto piece = static_cast<int32_t>(std::min<uint64_t>(riff.data_start - source.passed, static_cast<uint64_t>(length)));
        if (const int32_t count = Read(context, source, buffer, piece); count <= 0) return count;
    }
    const uint64_t end = riff.data_bytes == UINT64_MAX ? UINT64_MAX : riff.data_start + riff.data_bytes;
    const auto piece = static_cast<int32_t>(std::min<uint64_t>(end - source.passed, static_cast<uint64_t>(length)));
    return piece > 0 ? Read(context, source, buffer, piece) : 0;
}

int32_t ReadProgramStream(EngineContext* context, Source& source, uint8_t* buffer, int32_t length) {
    while (source.audio_read == source.audio.size()) {
        source.audio.clear();
        source.audio_read = 0;
        uint8_t piece[PieceBytes];
        const int32_t count = Read(context, source, piece, PieceBytes);
        if (count <= 0) return count;
        source.demuxer.Push(piece, static_cast<size_t>(count), source.audio);
    }
    const auto count = static_cast<int32_t>(std::min(source.audio.size() - source.audio_read, static_cast<size_t>(length)));
    std::memcpy(buffer, source.audio.data() + source.audio_read, static_cast<size_t>(count));
    source.audio_read += static_cast<size_t>(count);
    return count;
}

}  // namespace

void ResetSource(Source& source, const Container& container, uint64_t passed) {
    source.container = container;
    source.passed = passed;
    source.demuxer.Reset();
    source.audio.clear();
    source.audio_read = 0;
}

int32_t ReadSource(EngineContext* context, uint8_t* buffer, int32_t length) {
    Source& source = context->state->source;
    switch (source.container.kind) {
        case ContainerKind::RiffMpeg: return ReadDataChunk(context, source, buffer, length);
        case ContainerKind::ProgramStream: return ReadProgramStream(context, source, buffer, length);
        default: return Read(context, source, buffer, length);
    }
}

}  // namespace vortax
