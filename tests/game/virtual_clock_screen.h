// The real SDL screen, its event path included, on a clock that moves a millisecond a pump,
// so that no run depends on how fast the machine is. It is the display while it lives.
#pragma once

#include <cstdlib>
#include <functional>
#include <vector>

#include "platform/assets.h"
#include "platform/display_sdl.h"

struct TimedKey { uint32_t at; SDL_Keycode key; uint32_t held; };  // pressed at `at` ms, let go `held` ms later

class VirtualClockScreen : public SdlScreen {
public:
    VirtualClockScreen() : SdlScreen(ScreenOptions{true}) {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        ProgramFolder = ASSETS_DIR;
        UseDisplayDevice(this);
    }
    ~VirtualClockScreen() override { UseDisplayDevice(nullptr); }

    uint32_t now = 0;
    std::vector<TimedKey> keys;    // pushed into SDL's queue as they fall due
    std::function<void()> onPump;  // at every pump, before that

    uint32_t Ticks() override { return now; }
    void WaitForEvents(uint32_t) override {}
    void PumpEvents(EventQueue& queue) override {
        ++now;
        if (onPump) onPump();
        for (const TimedKey& key : keys)
            for (const Uint32 type : {SDL_KEYDOWN, SDL_KEYUP})
                if ((type == SDL_KEYDOWN ? key.at : key.at + key.held) == now) {
                    SDL_Event event{};
                    event.type = type;
                    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
                    event.key.keysym.sym = key.key;
                    SDL_PushEvent(&event);
                }
        SdlScreen::PumpEvents(queue);
    }
};
