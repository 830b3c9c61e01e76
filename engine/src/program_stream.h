// MPEG-1 and MPEG-2 program streams, as .mpg files hold them: packs of PES packets that
// interleave video, audio and private streams. The demuxer gives the payload of one MPEG
// audio stream, for the frame reader to take as it takes an MP3 file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vortax {

// Takes the bytes of a program stream in pieces of any size, gives the payload of its first
// MPEG audio stream (stream ids 0xC0-0xDF): video, private and other streams are passed over.
// Where damage leaves no start code at a packet boundary, the bytes up to the next are dropped.
class ProgramStream {
public:
    void Reset();
    // Appends to `audio` the payload bytes of the audio stream that `bytes` bring. The last
    // three bytes of a packet of unknown length follow once it is known they start no packet.
    void Push(const uint8_t* bytes, size_t size, std::vector<uint8_t>& audio);
    // The id of the audio stream taken (0xC0-0xDF); 0 until one is met.
    int AudioStream() const { return audio_stream; }

private:
    size_t HeaderLength(const uint8_t* h, size_t n) const;
    size_t Step(const uint8_t* h, size_t n, std::vector<uint8_t>& audio);
    size_t Drop(uint8_t byte, std::vector<uint8_t>& audio) const;
    bool Kept(uint8_t stream_id) const;

    std::vector<uint8_t> held;  // bytes not yet used: the start of a header, until it is whole
    size_t left = 0;            // payload bytes of the packet still to come
    bool keep = false;          // the packet is the audio stream's
    bool open = false;          // its length is not given (0): it runs to the next start code
    int audio_stream = 0;
};

}  // namespace vortax
