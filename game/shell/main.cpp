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
#include "shell/title.h"

namespace {

const std::string MainLoopFailure = "Fehler in der Main-Loop!\r";

// A run under way: the run and what the loop keeps of it between passes.
struct Loop {
    GameRun& run;
    uint32_t virtualNow;
    int gameStart = -1;  // the frame at which the run's first game began
    size_t nextStep = 0;
    bool stopped = false;
};

uint32_t Now(const Loop& loop) { return loop.run.clock == Clock::Real ? TickCount() : loop.virtualNow; }

bool Due(const Loop& loop, uint32_t since, uint32_t period) { return Now(loop) - since >= period; }

// The cave clock runs only in a game, in every run of the loop: on screen, headless, in a
// replay or in the solver. (On the title it would go on taking lives from a game ended.)
bool ClockMayRun() { return Game.InGame && !Game.PlayerDead && Game.ClockRunning && !Game.Paused; }

bool ClockFollowsReplay(const Loop& loop) { return loop.run.replay && loop.run.replay->listsTicks; }

void Note(const Loop& loop, ReplayEvent event) {
    if (loop.run.recording && loop.gameStart >= 0)
        loop.run.recording->replay.steps.push_back({loop.run.drawn - loop.gameStart, event});
}

void NoteGameStart(Loop& loop) {
    if (loop.gameStart >= 0 || !Game.InGame) return;
    loop.gameStart = loop.run.drawn;
    if (loop.run.recording) loop.run.recording->cave = Game.CaveNumber;
}

void TickClock(Loop& loop) {
    if (!ClockMayRun()) return;
    Note(loop, ReplayEvent::Tick);
    ClockTick();
    Game.LastClockTick = Now(loop);
}

// The tick time stays put while the clock may not run, so the first tick after a pause
// comes at once.
void TickClockIfDue(Loop& loop) {
    if (Due(loop, Game.LastClockTick, ClockPeriod) && !ClockFollowsReplay(loop)) TickClock(loop);
}

void Play(Loop& loop, ReplayEvent event) {
    if (loop.stopped) return;
    if (event == ReplayEvent::Tick) {
        TickClock(loop);
        return;
    }
    Note(loop, event);
    // Only a move into the open exit starts a cave while the player is playing.
    const bool playing = Game.InGame && Game.BirthCounter == -1;
    const CaveExit before{loop.run.drawn, Game.CaveNumber, Game.JewelsCollected, Game.CaveTime, 0, 0};
    PressKey(event);
    NoteGameStart(loop);
    if (playing && Game.BirthCounter == 0 && IsMove(event)) {
        loop.run.exits.push_back(before);
        loop.run.exits.back().score = Game.Score;
        loop.run.exits.back().lives = Game.Lives;
        loop.stopped = loop.run.stopAtExit;
    }
}

// The window's keys first, then the replay's events of the frames drawn so far.
void PlayEvents(Loop& loop) {
    EventQueue queue;
    PumpWindowEvents(queue);
    for (const WindowEvent& event : queue) {
        if (event.kind == WindowEvent::Kind::Quit) Game.Running = False;
        if (const std::optional<ReplayEvent> key = EventOfKey(event)) Play(loop, *key);
    }
    if (!loop.run.replay || loop.gameStart < 0) return;
    const std::vector<ReplayStep>& steps = loop.run.replay->steps;
    for (; loop.nextStep < steps.size() && steps[loop.nextStep].frame <= loop.run.drawn - loop.gameStart;
         ++loop.nextStep)
        Play(loop, steps[loop.nextStep].event);
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

// Draws one frame, the game's or the title's, shows it and clears the back buffer.
void DrawFrame(Loop& loop) {
    if (Game.InGame) {
        GameFrame();
    } else {
        StepCreditsFade();
        DrawTitleScreen();
    }
    FlipScreen();
    Game.LastFrameTick = Now(loop);
    ++loop.run.drawn;
    if (loop.run.drawn == loop.run.frames && !loop.run.screenshot.empty()) SaveScreenshot(loop.run.screenshot);
    ClearBackBuffer(0);
}

bool Finished(const Loop& loop) {
    return !Game.Running || loop.stopped || (loop.run.frames >= 0 && loop.run.drawn >= loop.run.frames);
}

// Until the next frame or clock tick is due there is nothing to do but wait for keys.
// Virtual time wakes for frames only: a tick due between two frames comes with the next.
void WaitForNextDue(Loop& loop) {
    if (loop.run.clock == Clock::Virtual) {
        loop.virtualNow = Game.LastFrameTick + FramePeriod;
        return;
    }
    const uint32_t now = TickCount();
    uint32_t wait = FramePeriod - std::min(FramePeriod, now - Game.LastFrameTick);
    if (ClockMayRun()) wait = std::min(wait, ClockPeriod - std::min(ClockPeriod, now - Game.LastClockTick));
    if (wait > 0) WaitForWindowEvents(wait);
}

}  // namespace

bool MainLoop(GameRun& run) {
    Loop loop{run, Game.LastFrameTick};
    NoteGameStart(loop);
    try {
        while (true) {
            if (Due(loop, Game.LastFrameTick, FramePeriod)) DrawFrame(loop);
            PlayEvents(loop);
            TickClockIfDue(loop);
            if (Finished(loop)) return true;
            WaitForNextDue(loop);
        }
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

int Main(GameRun& run, int16_t startCave) {
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
    if (!MainLoop(run)) return 1;
    ShutDown();
    return 0;
}
