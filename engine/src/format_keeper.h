// Keeps the first format of a stream for an output that cannot change format mid-file.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

// The resampler's own handle type, declared where its header declares it.
struct soxr;

namespace vortax {

class FormatKeeper {
public:
    // Forgets the kept format (a new stream, or an output opened again) and any held samples.
    void Reset();

    // The format every block is brought to; set by the first block.
    bool Keeping() const { return frequency_ != 0; }
    int Frequency() const { return frequency_; }
    int Channels() const { return channels_; }

    // Brings a block of `frames` interleaved samples of `channels` (1 or 2) at `frequency` to the
    // kept format; the first block sets it and passes unchanged. A block already in the kept
    // format, with nothing held from a resampled part, comes back as a view of `samples` itself.
    // The result stays valid until the next call. On failure the result is empty and Error() says why.
    std::span<int16_t> Convert(int16_t* samples, int frames, int channels, int frequency);

    // What a resampler still holds at the end of the stream.
    std::span<int16_t> Flush();

    // Why the last Convert or Flush failed, or nullptr when it did not. A failed resampler is
    // dropped: what it held is lost, and the next block at its rate starts a new one.
    const char* Error() const { return error_; }

private:
    struct Deleter {
        void operator()(soxr* resampler) const;
    };

    std::span<int16_t> Bring(int16_t* samples, int frames, int channels, int frequency);
    void Drain();
    void Resample(const int16_t* samples, size_t frames, int frequency);
    void Fail(const char* error);

    int frequency_ = 0;
    int channels_ = 0;
    std::unique_ptr<soxr, Deleter> resampler_;
    int resamplerFrequency_ = 0;
    bool holding_ = false;         // the resampler has taken samples it has not given out yet
    const char* error_ = nullptr;
    std::vector<int16_t> mixed_;   // a block brought to the kept channels
    std::vector<int16_t> out_;     // what the last call returns when it is not the caller's block
};

}  // namespace vortax
