// What an input is, told from its first bytes before any frame is looked for: MPEG audio as
// it is, MPEG audio in a WAV file, an MPEG program stream to demultiplex, or a format that
// holds no MPEG audio, named for the message that turns it away.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vortax {

enum class ContainerKind {
    Plain,          // not recognised: MPEG audio as it is, or junk the frame reader turns away
    RiffMpeg,       // a WAV file of MPEG audio: the data chunk holds the frames
    ProgramStream,  // an MPEG-1 or MPEG-2 program stream (.mpg)
    Other,          // a format without MPEG audio
};

struct Container {
    ContainerKind kind = ContainerKind::Plain;
    const char* name = nullptr;        // Other: what the input is, e.g. "a PCM WAV file" (static text)
    uint64_t data_start = 0;           // RiffMpeg: offset of the data chunk's first byte from the input's start;
                                       // otherwise where the container starts, past leading ID3v2 tags
    uint64_t data_bytes = UINT64_MAX;  // RiffMpeg: its length; UINT64_MAX: up to the end of the input
};

// Tells what the first `available` bytes of an input are, past its leading ID3v2 tags.
// Returns 0 once decided (`container` filled in), or the number of bytes it needs to see to
// decide (always more than `available`). With `ended` (the input holds no more than these
// bytes) it always decides.
size_t SniffContainer(const uint8_t* bytes, size_t available, bool ended, Container& container);

}  // namespace vortax
