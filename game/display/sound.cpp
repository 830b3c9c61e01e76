#include "display/sound.h"

#include "display/display.h"
#include "display/pictures.h"
#include "play/game_error.h"

namespace {

SoundDevice* device = nullptr;

}  // namespace

void UseSoundDevice(SoundDevice* newDevice) { device = newDevice; }

bool InitSound() {
    if (!device) return true;  // a game without a sound device is silent
    try {
        device->Open();
        for (int i = 0; i < SoundCount; ++i)
            device->Load(static_cast<Sound>(i), ProgramFolder + SoundFiles[static_cast<size_t>(i)]);
        return true;
    } catch (const GameError& error) {
        ShowMessageBox(
            "Unable to create Direct Sound object.\r\nCheck to ensure that a sound card is installed and working "
            "properly.\r" +
            ErrorText(error.number(), error.what()));
        return false;
    }
}

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
