#include "fake_devices.h"

#include <cstdio>

#include "common/game_error.h"

std::string ColourText(Colour colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", colour.r, colour.g, colour.b);
    return text;
}

void FakeDisplay::Record(const std::string& call) {
    const std::string name = call.substr(0, call.find(' '));
    log.push_back(call);
    if (name == failing) throw GameError(5, "the fake " + name + " failed");
}

void FakeSound::Open() {
    log.push_back("Open");
    if (!failingOpen.empty()) throw GameError(SoundFailure, failingOpen);
}

void FakeSound::Load(Sound sound, const std::string& path) {
    log.push_back("Load " + std::to_string(sound));
    if (sound == failingLoad) throw GameError(FileNotFound, "cannot load " + path);
}
