#include "shell/main.h"

#include <exception>
#include <string>

#include "display/display.h"
#include "display/pictures.h"
#include "display/sound.h"
#include "play/bookkeeping.h"
#include "play/caves.h"
#include "play/game_error.h"
#include "play/state.h"
#include "shell/frame.h"
#include "shell/title.h"

namespace {

const std::string MainLoopFailure = "Fehler in der Main-Loop!\r";

bool Due(uint32_t since, uint32_t period) { return TickCount() - since >= period; }

bool ClockMayRun() { return !Game.PlayerDead && Game.ClockRunning && !Game.Paused; }

void GamePass() {
    if (Due(Game.LastFrameTick, FramePeriod)) DrawFrame();
    PumpWindowEvents();
    TickClockIfDue();
}

// 0, 10, .. 250, 255, 245, .. 5, 0, 10, ..: 52 title frames a cycle.
void StepCreditsFade() {
    if (Game.FadeDir == 0) {
        Game.FadeLevel -= 10;
        if (Game.FadeLevel < 0) {
            Game.FadeLevel = 0;
            Game.FadeDir = 1;
        }
    } else {
        Game.FadeLevel += 10;
        if (Game.FadeLevel > 255) {
            Game.FadeDir = 0;
            Game.FadeLevel = 255;
        }
    }
}

void TitlePass() {
    if (Due(Game.LastFrameTick, FramePeriod)) DrawFrame();
    PumpWindowEvents();
}

}  // namespace

void DrawFrame() {
    if (Game.InGame) {
        GameFrame();
    } else {
        StepCreditsFade();
        DrawTitleScreen();
    }
    FlipScreen();
    Game.LastFrameTick = TickCount();
    ClearBackBuffer(0);
}

void TickClockIfDue() {
    // The tick time stays put while the clock may not run, so the first tick after a
    // pause comes at once.
    if (Due(Game.LastClockTick, ClockPeriod) && ClockMayRun()) {
        ClockTick();
        Game.LastClockTick = TickCount();
    }
}

void TickClockIfAllowed() {
    if (!ClockMayRun()) return;
    ClockTick();
    Game.LastClockTick = TickCount();
}

bool MainLoop() {
    try {
        do {
            if (Game.InGame)
                GamePass();
            else
                TitlePass();
        } while (Game.Running);
        return true;
    } catch (const GameError& error) {
        ShowMessageBox(MainLoopFailure + ErrorText(error.number(), error.what()));
    } catch (const std::exception& error) {
        ShowMessageBox(MainLoopFailure + ErrorText(0, error.what()));
    }
    return false;
}

void ShutDown() {
    StopSound(SndTheme);
    ShowMousePointer(true);
    ClearBackBuffer(0);
    FlipScreen();
    ReleaseSound();
    ReleaseDisplay();
}

int Main() {
    if (!InitDisplay()) {
        // The display routine has shown its own message; nothing is left to describe here.
        ShowMessageBox(MainLoopFailure + ErrorText(0, ""));
        return 1;
    }
    if (!InitSound()) return 1;
    ShowMousePointer(false);
    ClearRecordLists();
    ShowGameWindow();
    if (!Load_BMP()) {
        ShutDown();
        return 1;
    }
    Game.CreditLine = -1;
    Game.StartLevel = 1;
    PlayLooping(SndTheme);
    Game.Running = True;
    if (!MainLoop()) return 1;
    ShutDown();
    return 0;
}
