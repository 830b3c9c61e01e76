// The sound effects on SDL2_mixer: one mixer channel per effect, so that each effect
// plays, loops and stops on its own.
#pragma once

#include <SDL_mixer.h>

#include <array>
#include <atomic>

#include "platform/sound.h"

class SdlSound : public SoundDevice {
public:
    SdlSound();
    ~SdlSound() override;

    void Open() override;
    void Close() override;
    void Load(Sound sound, const std::string& path) override;
    // A stopped effect goes on from where it stopped (a looping one asked to play once
    // plays once from its start); one that is playing goes on playing.
    void Play(Sound sound, bool looping) override;
    void Stop(Sound sound) override;

    // Where the effect stands in its sound, in bytes from its start (for tests).
    uint32_t Position(Sound sound) const;
    bool Playing(Sound sound) const;

private:
    static void CountPlayed(int channel, void* stream, int length, void* self);

    std::array<Mix_Chunk*, SoundCount> chunks_{};
    std::array<std::atomic<uint32_t>, SoundCount> played_{};  // bytes mixed, across loops
    std::array<bool, SoundCount> looping_{};
    bool open_ = false;
};
