#include "shell/main.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "common/game_error.h"
#include "core/caves.h"
#include "core/state.h"
#include "platform/assets.h"
#include "platform/display.h"
#include "platform/sound.h"
#include "rules/bookkeeping.h"
#include "shell/demo.h"
#include "shell/frame.h"
#include "shell/keys.h"
#include "shell/scores.h"
#include "shell/title.h"

namespace {

const std::string MainLoopFailure = "Fehler in der Main-Loop!\r";

// A replay being played: its frame 0 is the run's frame `start`.
struct Playback {
    const Replay* replay = nullptr;
    int start = -1;  // not started yet
    size_t next = 0;
    uint32_t lastTick = 0;  // the clock's last tick, in the replay's time (ReplayTime)
};

// A move key held down: the key or button, and the move it makes.
struct HeldKey {
    bool button;
    std::string name;
    ReplayEvent move;
};

// A run under way: the run and what the loop keeps of it between passes.
struct Loop {
    explicit Loop(GameRun& played) : run(played), virtualNow(Game.LastFrameTick), replay{played.replay} {}

    GameRun& run;
    uint32_t virtualNow;
    Playback replay;  // the run's, from its first game on
    bool stopped = false;
    // Move keys held down, the one pressed last at the back, and the frame it went down in.
    std::vector<HeldKey> held;
    int heldSince = 0;
    int idleFrames = 0;  // title frames without a key
    std::optional<Demo> demo;
    Playback demoPlayback;
    int demosShown = 0;
    GameState beforeDemo;
    const CaveDefinition* ownCave = nullptr;  // the player's, set aside while the demo plays
};

uint32_t Now(const Loop& loop) { return loop.run.clock == Clock::Real ? TickCount() : loop.virtualNow; }

bool Due(const Loop& loop, uint32_t since, uint32_t period) { return Now(loop) - since >= period; }

// The cave clock runs only in a game, in every run of the loop: on screen, headless, in a
// replay or in the solver. (On the title it would go on taking lives from a game ended.)
bool ClockMayRun() { return Game.InGame && !Game.PlayerDead && Game.ClockRunning && !Game.Paused; }

const Playback& PlaybackOf(const Loop& loop) { return loop.demo ? loop.demoPlayback : loop.replay; }
Playback& PlaybackOf(Loop& loop) { return loop.demo ? loop.demoPlayback : loop.replay; }

// A replay's own time: its frames at 120 ms each, as a headless run counts them.
uint32_t ReplayTime(const Loop& loop, const Playback& playback) {
    return FramePeriod * static_cast<uint32_t>(loop.run.drawn - playback.start);
}

// A replay that lists clock ticks has the clock tick only there. On screen, one that lists
// none has it tick by the replay's time, as headless: either way it goes exactly as it
// goes headless, and no frame late on a busy machine moves a tick. On screen the clock
// goes back to real time once the replay has played its last event, for a player who
// plays on.
bool ClockFollowsReplay(const Loop& loop) {
    const Playback& playback = PlaybackOf(loop);
    if (!playback.replay || playback.start < 0) return false;
    if (loop.run.clock == Clock::Virtual) return playback.replay->listsTicks;
    return playback.next < playback.replay->steps.size();
}

// A replay or the demo with events still to play.
bool ReplayPlaying(const Loop& loop) {
    const Playback& playback = PlaybackOf(loop);
    return loop.demo || (playback.replay && playback.next < playback.replay->steps.size());
}

// A recording takes the run's own game, never the demo.
void Note(const Loop& loop, ReplayEvent event) {
    if (loop.run.recording && loop.replay.start >= 0 && !loop.demo)
        loop.run.recording->replay.steps.push_back({loop.run.drawn - loop.replay.start, event});
}

void NoteGameStart(Loop& loop) {
    if (loop.replay.start >= 0 || !Game.InGame || loop.demo) return;
    loop.replay.start = loop.run.drawn;
    if (loop.run.recording) {
        loop.run.recording->cave = Game.CaveNumber;
        loop.run.recording->startLevel = Game.StartLevel;
    }
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
    if (!ClockFollowsReplay(loop)) {
        if (Due(loop, Game.LastClockTick, ClockPeriod)) TickClock(loop);
        return;
    }
    Playback& playback = PlaybackOf(loop);
    const uint32_t now = ReplayTime(loop, playback);
    if (playback.replay->listsTicks || now - playback.lastTick < ClockPeriod || !ClockMayRun()) return;
    TickClock(loop);
    playback.lastTick = now;
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
    const int16_t cave = Game.CaveNumber, jewels = Game.JewelsCollected, time = Game.CaveTime;
    PressKey(event);
    NoteGameStart(loop);
    if (playing && Game.BirthCounter == 0 && IsMove(event)) {
        loop.run.exits.push_back({loop.run.drawn, cave, jewels, time, Game.Score, Game.Lives});
        loop.stopped = loop.run.stopAtExit;
    }
}

void PlayDueSteps(Loop& loop, Playback& playback) {
    if (!playback.replay || playback.start < 0) return;
    const std::vector<ReplayStep>& steps = playback.replay->steps;
    for (; playback.next < steps.size() && steps[playback.next].frame <= loop.run.drawn - playback.start;
         ++playback.next)
        Play(loop, steps[playback.next].event);
}

void StartDemo(Loop& loop) {
    loop.idleFrames = 0;
    loop.ownCave = UseCustomCave(nullptr);
    loop.demo = MakeDemo(loop.demosShown++);
    if (!loop.demo) {
        UseCustomCave(loop.ownCave);
        return;
    }
    loop.beforeDemo = Game;
    loop.demoPlayback = Playback{&loop.demo->replay, loop.run.drawn};
    StartNewGame(loop.demo->cave);
}

// The demo leaves nothing behind: not its game, nor a high score, nor its cave. The game
// is as the title left it, as a recording of the player's games played again finds it.
void EndDemo(Loop& loop) {
    UseCustomCave(loop.ownCave);
    loop.demo.reset();
    loop.demoPlayback = Playback{};
    Game.Paused = false;
    BackToTitle();
    GameState title = loop.beforeDemo;
    title.Running = Game.Running;
    title.AnimFrame = Game.AnimFrame;
    title.LastFrameTick = Game.LastFrameTick;
    title.LastClockTick = Game.LastClockTick;
    Game = std::move(title);
}

bool DemoOver(const Loop& loop) {
    const std::vector<ReplayStep>& steps = loop.demo->replay.steps;
    const int last = steps.empty() ? 0 : steps.back().frame;
    return loop.run.drawn - loop.demoPlayback.start > last + DemoTailFrames || !Game.InGame;
}

// A press moves at once. A key still down through the whole frame after that move moves
// again with the frame after it, and from then on once a frame: a tap moves one cell
// however it falls between two frames, and the system's own key repeat never reaches the
// game. The key pressed last wins.
constexpr int RepeatAfterFrames = 2;

void LetGo(Loop& loop, const WindowEvent& key) {
    std::erase_if(loop.held, [&key](const HeldKey& held) { return held.button == key.button && held.name == key.name; });
}

void PressArrow(Loop& loop, const WindowEvent& key, ReplayEvent move) {
    LetGo(loop, key);
    loop.held.push_back({key.button, key.name, move});
    loop.heldSince = loop.run.drawn;
}

void PlayHeldArrow(Loop& loop) {
    if (!loop.held.empty() && loop.run.drawn - loop.heldSince >= RepeatAfterFrames) Play(loop, loop.held.back().move);
}

// Leaving the window pauses the player's running cave as Space would, so that it can be
// recorded and played back like any other pause. A replay or the demo plays on: its
// events would go on into a paused cave.
void PauseOnLeaving(Loop& loop) {
    loop.held.clear();
    if (ReplayPlaying(loop)) return;
    if (Game.InGame && !Game.PlayerDead && !Game.Paused) Play(loop, ReplayEvent::Space);
    QuietWhileAway();
}

void PlayWindowEvent(Loop& loop, const WindowEvent& event) {
    using Kind = WindowEvent::Kind;
    if (event.kind == Kind::Quit) Game.Running = false;
    if (event.kind == Kind::FocusLost) PauseOnLeaving(loop);
    if (event.kind == Kind::KeyReleased) LetGo(loop, event);
    if (event.kind != Kind::KeyDown) return;
    loop.idleFrames = 0;
    // Any key ends the demo, and does nothing else.
    if (loop.demo) {
        EndDemo(loop);
        return;
    }
    if (TitleTakesKey(event)) return;
    // In a cave F1 pauses and resumes as Space does; paused, the keys show below the cave.
    if (IsHelpKey(event)) {
        Play(loop, ReplayEvent::Space);
        return;
    }
    const std::optional<ReplayEvent> key = EventOfKey(event);
    if (key == ReplayEvent::Mute) SetSoundMuted(!SoundMuted());
    if (!key || !IsPartOfGame(*key)) return;
    if (IsMove(*key)) PressArrow(loop, event, *key);
    Play(loop, *key);
}

// The window's keys first, then the held arrow once a frame, then the replay's events of
// the frames drawn so far.
void PlayEvents(Loop& loop, bool drewFrame) {
    EventQueue queue;
    PumpWindowEvents(queue);
    for (const WindowEvent& event : queue) PlayWindowEvent(loop, event);
    if (drewFrame) PlayHeldArrow(loop);
    PlayDueSteps(loop, loop.demo ? loop.demoPlayback : loop.replay);
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
        DrawTitleScreen(loop.idleFrames);
    }
    if (loop.demo) DrawDemoBanner();
    FlipScreen();
    Game.LastFrameTick = Now(loop);
    ++loop.run.drawn;
    if (loop.run.drawn == loop.run.frames && !loop.run.screenshot.empty()) SaveScreenshot(loop.run.screenshot);
    ClearBackBuffer(MakeColour(0, 0, 0));
}

// The title starts its demo after a while without a key, on screen only.
void TurnToTheDemo(Loop& loop) {
    if (loop.demo) {
        if (DemoOver(loop)) EndDemo(loop);
        return;
    }
    if (Game.InGame || loop.run.clock != Clock::Real || loop.run.replay) return;
    if (++loop.idleFrames >= DemoIdleFrames) StartDemo(loop);
}

// A game counts as soon as it ends, so that no way of ending it or the program loses it.
void KeepScores(const Loop& loop) {
    if (loop.run.keepScores && !loop.demo) CountGame();
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
    // A clock that follows a replay ticks with its frames: it is no reason to wake.
    if (ClockMayRun() && !ClockFollowsReplay(loop))
        wait = std::min(wait, ClockPeriod - std::min(ClockPeriod, now - Game.LastClockTick));
    if (wait > 0) WaitForWindowEvents(wait);
}

}  // namespace

bool MainLoop(GameRun& run) {
    Loop loop(run);
    NoteGameStart(loop);
    try {
        while (true) {
            const bool drewFrame = Due(loop, Game.LastFrameTick, FramePeriod);
            if (drewFrame) {
                DrawFrame(loop);
                TurnToTheDemo(loop);
            }
            PlayEvents(loop, drewFrame);
            TickClockIfDue(loop);
            KeepScores(loop);
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
    ClearBackBuffer(MakeColour(0, 0, 0));
    FlipScreen();
    ReleaseSound();
    ReleaseDisplay();
}

int Main(GameRun& run, int16_t startCave, int16_t startLevel) {
    // The display routine has shown its own message, the one a failure there gets.
    if (!InitDisplay()) return 1;
    if (!InitSound()) return 1;
    ShowMousePointer(false);
    ClearRecordLists();
    ShowGameWindow();
    if (!LoadPictures()) {
        ShutDown();
        return 1;
    }
    Game.CreditLine = -1;
    Game.StartLevel = startLevel;
    PlayLooping(SndTheme);
    Game.Running = true;
    if (startCave != 0) StartNewGame(startCave);
    if (!MainLoop(run)) return 1;
    ShutDown();
    return 0;
}
