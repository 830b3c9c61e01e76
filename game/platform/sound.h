// The device the game's 17 sound effects play on, and the calls the rules make.
#pragma once

#include <string>

#include "platform/assets.h"

// One buffer per effect. A stopped effect keeps its position, and the next play goes
// on from there. Failures are thrown as GameError; Open's says why in the platform's words.
class SoundDevice {
public:
    virtual ~SoundDevice() = default;
    virtual void Open() = 0;
    virtual void Close() = 0;
    virtual void Load(Sound sound, const std::string& path) = 0;
    virtual void Play(Sound sound, bool looping) = 0;
    virtual void Stop(Sound sound) = 0;
};

// Installs the device the effects play on and returns the one installed before; without
// one the game is silent. Swapping devices keeps the muting and what the last start found.
SoundDevice* UseSoundDevice(SoundDevice* device);

// Opens the device and loads the effects. A device that will not open is no reason to
// stop: the game goes on silently after one line on standard error. A sound file that
// cannot be loaded is: false after showing its message, and the program ends at once.
bool InitSound();
void ReleaseSound();
void PlaySound(Sound sound);
void PlayLooping(Sound sound);
void StopSound(Sound sound);

// True from a start whose device would not open until ReleaseSound; SoundProblem says why
// in the platform's words (empty otherwise).
bool SoundUnavailable();
std::string SoundProblem();

// Muted, every effect is stopped and plays do nothing; unmuted, the looping effects that
// the game still wants (the title theme, the pause music) start again. Muting is the
// player's choice: it holds across starts and devices.
void SetSoundMuted(bool muted);
bool SoundMuted();
