#include "fake_devices.h"

#include "play/game_error.h"

void FakeDisplay::Record(const std::string& call) {
    const std::string name = call.substr(0, call.find(' '));
    log.push_back(call);
    if (name == failing) throw GameError(5, "the fake " + name + " failed");
}
