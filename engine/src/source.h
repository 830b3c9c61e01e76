// What the frame reader reads: the input's bytes as they are, or the MPEG audio inside the
// container that holds it (the data chunk of a WAV file, the audio packets of an MPEG
// program stream).
#pragma once

#include <cstdint>
#include <vector>

#include "containers.h"
#include "program_stream.h"
#include "vortax.h"

namespace vortax {

struct Source {
    Container container;
    uint64_t passed = 0;          // bytes of the input read so far
    ProgramStream demuxer;
    std::vector<uint8_t> audio;   // demultiplexed and not yet read
    size_t audio_read = 0;
};

// Starts reading `container` afresh, `passed` bytes into the input.
void ResetSource(Source& source, const Container& container, uint64_t passed);

// Reads up to `length` bytes of MPEG audio: the count, 0 at the end, or the input's code.
int32_t ReadSource(EngineContext* context, uint8_t* buffer, int32_t length);

}  // namespace vortax
