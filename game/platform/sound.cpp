#include "platform/sound.h"

#include <algorithm>
#include <iostream>
#include <utility>

#include "common/game_error.h"
#include "platform/assets.h"
#include "platform/display.h"

namespace {

SoundDevice* device = nullptr;
bool muted = false;
std::string problem;  // why the device would not open at the last start
// The looping effects the game has started and not stopped, muted or not, so that
// unmuting can bring them back.
std::array<bool, SoundCount> loopWanted{};

// A device that would not open is never asked for anything again.
SoundDevice* Usable() { return problem.empty() ? device : nullptr; }

void Forget() {
    problem.clear();
    loopWanted.fill(false);
}

}  // namespace

SoundDevice* UseSoundDevice(SoundDevice* newDevice) { return std::exchange(device, newDevice); }

bool InitSound() {
    Forget();
    if (!device) return true;  // a game without a sound device is silent
    try {
        device->Open();
    } catch (const GameError& error) {
        problem = error.what();
        if (problem.empty()) problem = "the sound device would not open";
        std::replace_if(problem.begin(), problem.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
        std::cerr << "kelvoro: no sound: " << problem << "\n";
        return true;
    }
    try {
        for (int i = 0; i < SoundCount; ++i)
            device->Load(static_cast<Sound>(i), ProgramFolder + SoundFiles[static_cast<size_t>(i)]);
        return true;
    } catch (const GameError& error) {
        ShowMessageBox(ErrorText(error.number(), error.what()));
        return false;
    }
}

void ReleaseSound() {
    if (SoundDevice* open = Usable()) open->Close();
    Forget();
}

void PlaySound(Sound sound) {
    if (SoundDevice* open = Usable(); open && !muted) open->Play(sound, false);
}

void PlayLooping(Sound sound) {
    // Without a device (a game played at virtual time) nothing is wanted either.
    if (!device) return;
    loopWanted[sound] = true;
    if (SoundDevice* open = Usable(); open && !muted) open->Play(sound, true);
}

void StopSound(Sound sound) {
    if (!device) return;
    loopWanted[sound] = false;
    if (SoundDevice* open = Usable(); open && !muted) open->Stop(sound);
}

bool SoundUnavailable() { return !problem.empty(); }

std::string SoundProblem() { return problem; }

void SetSoundMuted(bool mute) {
    if (mute == muted) return;
    muted = mute;
    SoundDevice* open = Usable();
    if (!open) return;
    for (int i = 0; i < SoundCount; ++i) {
        const Sound sound = static_cast<Sound>(i);
        if (muted)
            open->Stop(sound);
        else if (loopWanted[sound])
            open->Play(sound, true);
    }
}

bool SoundMuted() { return muted; }
