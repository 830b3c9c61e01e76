#include "display/sound.h"

#include "common/game_error.h"
#include "display/display.h"
#include "display/pictures.h"

namespace {

SoundDevice* device = nullptr;

}  // namespace

void UseSoundDevice(SoundDevice* newDevice) { device = newDevice; }

bool InitSound() {
    if (!device) return true;  // a game without a sound device is silent
    bool opened = false;
    try {
        device->Open();
        opened = true;
        for (int i = 0; i < SoundCount; ++i)
            device->Load(static_cast<Sound>(i), ProgramFolder + SoundFiles[static_cast<size_t>(i)]);
        return true;
    } catch (const GameError& error) {
        // Only a device that will not open is the sound card's fault; a sound file that
        // cannot be loaded is named with what is wrong with it.
        const std::string device = "Unable to create Direct Sound object.\r\nCheck to ensure that a sound card is "
                                   "installed and working properly.\r";
        ShowMessageBox((opened ? std::string() : device) + ErrorText(error.number(), error.what()));
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
