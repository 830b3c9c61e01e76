// The game's 17 sound effects and the device below them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// In load order.
enum Sound : uint8_t {
    SndStep,
    SndPling,
    SndBoulder,
    SndStart,
    SndExplo,
    SndEx2,
    SndLive,
    SndBoing,
    SndFinish,
    SndTime,
    SndTimeout,
    SndAmoe,
    SndAmoe2,
    SndBonus,
    SndBonus2,
    SndInfo,
    SndTheme,
};

constexpr int SoundCount = 17;

inline constexpr std::array<const char*, SoundCount> SoundFiles{
    "/kvstep.wav",    "/kvpling.wav", "/kvboulder.wav", "/kvstart.wav", "/kvexplo.wav", "/kvex2.wav",
    "/kvlive.wav",    "/kvboing.wav", "/kvfinish.wav",  "/kvtime.wav",  "/kvtimeout.wav", "/kvamoe.wav",
    "/kvamoe2.wav",   "/kvbonus.wav", "/kvbonus2.wav",  "/kvinfo.wav",  "/kvtheme.wav",
};

// One buffer per effect. A stopped effect keeps its position, and the next play goes
// on from there. Failures are thrown as GameError.
class SoundDevice {
public:
    virtual ~SoundDevice() = default;
    virtual void Open() = 0;
    virtual void Close() = 0;
    virtual void Load(Sound sound, const std::string& path) = 0;
    virtual void Play(Sound sound, bool looping) = 0;
    virtual void Stop(Sound sound) = 0;
};

// Installs the device the effects play on; without one the game is silent.
void UseSoundDevice(SoundDevice* device);

// Returns false after showing the sound message; the program then ends at once.
bool InitSound();
void ReleaseSound();
void PlaySound(Sound sound);
void PlayLooping(Sound sound);
void StopSound(Sound sound);
