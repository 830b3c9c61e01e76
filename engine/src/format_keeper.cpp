#include "format_keeper.h"

#include <cmath>
#include <new>

#include <soxr.h>

namespace vortax {

namespace {

// Room for what a resampler gives out beyond a block's own share, so that one call mostly suffices.
constexpr size_t Slack = 64;
// What one call takes of the tail a resampler gives out at the end of a part; a call that
// gives nothing means it is all out.
constexpr size_t DrainStep = 1024;

// The block with `from` channels brought to `to`: mono is doubled, stereo averaged (rounded
// half away from zero, which cannot leave the int16 range).
const int16_t* Mix(const int16_t* samples, size_t frames, int from, int to, std::vector<int16_t>& into) {
    if (from == to) return samples;
    into.resize(frames * static_cast<size_t>(to));
    for (size_t i = 0; i < frames; ++i) {
        if (to == 2) {
            into[2 * i] = into[2 * i + 1] = samples[i];
        } else {
            const int sum = samples[2 * i] + samples[2 * i + 1];
            into[i] = static_cast<int16_t>((sum + (sum >= 0 ? 1 : -1)) / 2);
        }
    }
    return into.data();
}

}  // namespace

void FormatKeeper::Deleter::operator()(soxr* resampler) const { soxr_delete(resampler); }

void FormatKeeper::Reset() {
    frequency_ = 0;
    channels_ = 0;
    resampler_.reset();
    holding_ = false;
    error_ = nullptr;
}

std::span<int16_t> FormatKeeper::Convert(int16_t* samples, int frames, int channels, int frequency) {
    error_ = nullptr;
    if (frequency == frequency_ && channels == channels_ && frames >= 0 && !holding_)
        return {samples, static_cast<size_t>(frames) * static_cast<size_t>(channels)};
    try {
        return Bring(samples, frames, channels, frequency);
    } catch (const std::bad_alloc&) {
        Fail("out of memory");
        return {};
    }
}

std::span<int16_t> FormatKeeper::Flush() {
    error_ = nullptr;
    // An empty block in the kept format gives out whatever a resampler still holds.
    return Keeping() ? Convert(nullptr, 0, channels_, frequency_) : std::span<int16_t>{};
}

std::span<int16_t> FormatKeeper::Bring(int16_t* samples, int frames, int channels, int frequency) {
    if (frames < 0 || channels < 1 || channels > 2 || frequency <= 0) {
        Fail("unsupported block format");
        return {};
    }
    const auto count = static_cast<size_t>(frames);
    if (!Keeping()) {
        frequency_ = frequency;
        channels_ = channels;
        return {samples, count * static_cast<size_t>(channels)};
    }
    out_.clear();
    // The part before a change of rate ends with the tail its resampler still holds.
    if (holding_ && frequency != resamplerFrequency_) Drain();
    if (error_) return {};
    const int16_t* block = Mix(samples, count, channels, channels_, mixed_);
    if (frequency == frequency_)
        out_.insert(out_.end(), block, block + count * static_cast<size_t>(channels_));
    else
        Resample(block, count, frequency);
    if (error_) return {};
    return out_;
}

void FormatKeeper::Drain() {
    const auto width = static_cast<size_t>(channels_);
    size_t done = 0;
    do {
        const size_t at = out_.size();
        out_.resize(at + DrainStep * width);
        // No input at all tells the resampler the part has ended.
        const soxr_error_t error = soxr_process(resampler_.get(), nullptr, 0, nullptr, out_.data() + at, DrainStep, &done);
        out_.resize(at + done * width);
        if (error) return Fail(error);
    } while (done != 0);
    holding_ = false;
    // Cleared, the resampler serves a later part at the same rate.
    if (const soxr_error_t error = soxr_clear(resampler_.get())) Fail(error);
}

void FormatKeeper::Resample(const int16_t* samples, size_t frames, int frequency) {
    if (frames == 0) return;  // a null input would end the part
    if (!resampler_ || resamplerFrequency_ != frequency) {
        resampler_.reset();
        soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
        // Without dither the same stream always converts to the same samples.
        io.flags |= SOXR_NO_DITHER;
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        soxr_error_t error = nullptr;
        resampler_.reset(soxr_create(frequency, frequency_, static_cast<unsigned>(channels_), &error, &io, &quality, nullptr));
        if (error || !resampler_) return Fail(error ? error : "cannot create a resampler");
        resamplerFrequency_ = frequency;
    }
    holding_ = true;
    const auto width = static_cast<size_t>(channels_);
    const size_t room = static_cast<size_t>(std::ceil(static_cast<double>(frames) * frequency_ / frequency)) + Slack;
    size_t used = 0;
    size_t done = 0;
    // A full output may mean more is ready, so the loop goes on until it is not.
    do {
        const size_t at = out_.size();
        out_.resize(at + room * width);
        size_t taken = 0;
        const soxr_error_t error =
            soxr_process(resampler_.get(), samples + used * width, frames - used, &taken, out_.data() + at, room, &done);
        out_.resize(at + done * width);
        if (error) return Fail(error);
        used += taken;
    } while (used < frames || done == room);
}

void FormatKeeper::Fail(const char* error) {
    error_ = error;
    resampler_.reset();
    holding_ = false;
}

}  // namespace vortax
