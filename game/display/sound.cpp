#include "display/sound.h"

namespace {

SoundDevice* device = nullptr;

}  // namespace

void UseSoundDevice(SoundDevice* newDevice) { device = newDevice; }

bool InitSound() { return true; }

void ReleaseSound() {
    if (device) device->Close();
}

void PlaySound(Sound sound) {
    if (device) device->Play(sound, false);
}

void PlayLooping(Sound sound) {
    if (device) device->Play(sound, true);
}

void StopSound(Sound sound) {
    if (device) device->Stop(sound);
}
