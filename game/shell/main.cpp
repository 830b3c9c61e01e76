#include "shell/main.h"

#include <algorithm>
#include <exception>
#include <string>

#include "common/game_error.h"
#include "display/display.h"
#include "display/pictures.h"
#include "display/sound.h"
#include "play/bookkeeping.h"
#include "play/caves.h"
#include "play/state.h"
#include "shell/frame.h"
#include "shell/keys.h"
#include "shell/replay.h"
#include "shell/title.h"

namespace {

const std::string MainLoopFailure = "Fehler in der Main-Loop!\r";

bool Due(uint32_t since, uint32_t period) { return TickCount() - since >= period; }

// The cave clock runs only in a game, in every run of the loop: on screen, headless, in a
// replay or in the solver. (On the title it would go on taking lives from a game ended.)
bool ClockMayRun() { return Game.InGame && !Game.PlayerDead && Game.ClockRunning && !Game.Paused; }

// Until the next frame or clock tick is due there is nothing to do but wait for keys.
void WaitForNextDue() {
    const uint32_t now = TickCount();
    uint32_t wait = FramePeriod - std::min(FramePeriod, now - Game.LastFrameTick);
    if (ClockMayRun()) wait = std::min(wait, ClockPeriod - std::min(ClockPeriod, now - Game.LastClockTick));
    if (wait > 0) WaitForWindowEvents(wait);
}

void PumpEvents() {
    PumpWindowEvents();
    PlayDueReplayEvents();
}

void GamePass() {
    if (Due(Game.LastFrameTick, FramePeriod)) DrawFrame();
    PumpEvents();
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
    PumpEvents();
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
    NoteFrame();
}

void TickClockIfDue() {
    // The tick time stays put while the clock may not run, so the first tick after a
    // pause comes at once.
    if (Due(Game.LastClockTick, ClockPeriod) && !ClockFollowsReplay()) TickClockIfAllowed();
}

void TickClockIfAllowed() {
    if (!ClockMayRun()) return;
    NoteEvent(ReplayEvent::Tick);
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
            WaitForNextDue();
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

int Main(int16_t startCave) {
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
    if (startCave != 0) StartNewGame(startCave);
    if (!MainLoop()) return 1;
    ShutDown();
    return 0;
}
