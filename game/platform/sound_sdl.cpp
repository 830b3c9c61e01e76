#include "platform/sound_sdl.h"

#include <SDL.h>

#include "common/game_error.h"
#include "platform/load_failure.h"

namespace {

constexpr int Frequency = 22050;
constexpr int BufferFrames = 1024;

// SDL's own reason, which the game passes on as it is.
[[noreturn]] void Fail(const std::string& reason) { throw GameError(SoundFailure, reason); }

int ChannelOf(Sound sound) { return static_cast<int>(sound); }

}  // namespace

SdlSound::SdlSound() = default;

SdlSound::~SdlSound() { Close(); }

void SdlSound::Open() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) Fail(SDL_GetError());
    if (Mix_OpenAudio(Frequency, AUDIO_S16SYS, 2, BufferFrames) != 0) {
        const std::string reason = SDL_GetError();  // before the shutdown can replace it
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        Fail(reason);
    }
    open_ = true;
    Mix_AllocateChannels(SoundCount);
    for (int channel = 0; channel < SoundCount; ++channel)
        Mix_RegisterEffect(channel, CountPlayed, nullptr, this);
}

void SdlSound::Close() {
    if (!open_) return;
    Mix_HaltChannel(-1);
    for (Mix_Chunk*& chunk : chunks_) {
        Mix_FreeChunk(chunk);
        chunk = nullptr;
    }
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    open_ = false;
}

void SdlSound::Load(Sound sound, const std::string& path) {
    Mix_Chunk* chunk = Mix_LoadWAV(path.c_str());
    if (!chunk) throw GameError(FileNotFound, LoadFailure(path, "WAV sound"));
    Mix_FreeChunk(chunks_[sound]);
    chunks_[sound] = chunk;
}

void SdlSound::Play(Sound sound, bool looping) {
    const int channel = ChannelOf(sound);
    if (!chunks_[sound]) return;
    const bool paused = Mix_Paused(channel) != 0;
    if (paused && looping_[sound] == looping) {
        Mix_Resume(channel);
    } else if (paused || !Mix_Playing(channel)) {
        // A looping effect stopped and asked to play once (the pause jingle while the
        // window is away) plays once from its start instead of looping on.
        Mix_HaltChannel(channel);
        played_[sound] = 0;
        looping_[sound] = looping;
        Mix_PlayChannel(channel, chunks_[sound], looping ? -1 : 0);
    }
}

void SdlSound::Stop(Sound sound) {
    const int channel = ChannelOf(sound);
    if (Mix_Playing(channel) && !Mix_Paused(channel)) Mix_Pause(channel);
}

void SdlSound::CountPlayed(int channel, void*, int length, void* self) {
    static_cast<SdlSound*>(self)->played_[static_cast<size_t>(channel)] += static_cast<uint32_t>(length);
}

uint32_t SdlSound::Position(Sound sound) const {
    const Mix_Chunk* chunk = chunks_[sound];
    return chunk && chunk->alen ? played_[sound] % chunk->alen : 0;
}

bool SdlSound::Playing(Sound sound) const {
    const int channel = ChannelOf(sound);
    return Mix_Playing(channel) && !Mix_Paused(channel);
}
