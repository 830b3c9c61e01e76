#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <tuple>

#include "common/high_score.h"
#include "core/state.h"
#include "game_fixture.h"
#include "shell/demo.h"
#include "shell/headless.h"
#include "shell/keys.h"
#include "shell/main.h"
#include "shell/scores.h"

namespace {

class MainLoopTest : public GameFixture {
protected:
    GameRun run;

    MainLoopTest() : GameFixture(true) {}
    void SetUp() override {
        GameFixture::SetUp();
        Scores = ScoreBook{};
    }

    // Runs the loop until the clock reaches `until` milliseconds, calling `each` at every pump.
    void RunUntil(uint32_t until, const std::function<void()>& each = {}) {
        display.onPump = [&, until, each] {
            if (each) each();
            if (display.now >= until) Game.Running = false;
        };
        Game.Running = true;
        ASSERT_TRUE(MainLoop(run));
    }

    std::vector<uint32_t> FlipTimes() const {
        std::vector<uint32_t> times;
        for (const std::string& call : display.log)
            if (call.rfind("Flip ", 0) == 0) times.push_back(static_cast<uint32_t>(std::stoul(call.substr(5))));
        return times;
    }
};

std::vector<uint32_t> Every(uint32_t period, uint32_t last) {
    std::vector<uint32_t> times;
    for (uint32_t t = period; t <= last; t += period) times.push_back(t);
    return times;
}

TEST_F(MainLoopTest, GameFramesComeAtEvery120MillisecondsExactly) {
    Game.InGame = true;
    RunUntil(500);
    EXPECT_EQ(FlipTimes(), Every(FramePeriod, 500));
    // Each shown frame is followed by a black back buffer for the next one.
    const auto flip = std::find(display.log.begin(), display.log.end(), "Flip 120");
    ASSERT_NE(flip, display.log.end());
    EXPECT_EQ(*(flip + 1), "Fill #000000");
}

TEST_F(MainLoopTest, ALongFrameDelaysTheNextByItsOwnLength) {
    Game.InGame = true;
    display.flipCost = 50;  // pacing counts from the end of the flip
    RunUntil(500);
    EXPECT_EQ(FlipTimes(), (std::vector<uint32_t>{120, 290, 460}));
}

TEST_F(MainLoopTest, TitleFramesUseTheSamePeriod) {
    RunUntil(250);
    EXPECT_EQ(FlipTimes(), Every(FramePeriod, 250));
}

TEST_F(MainLoopTest, ClockTicksEverySecondWhileItRuns) {
    Game.InGame = true;
    Game.ClockRunning = true;
    Game.CaveTime = 100;
    std::vector<uint32_t> ticks;
    RunUntil(3500, [&] {
        if (ticks.empty() ? Game.LastClockTick != 0 : Game.LastClockTick != ticks.back())
            ticks.push_back(Game.LastClockTick);
    });
    EXPECT_EQ(ticks, Every(ClockPeriod, 3500));
}

TEST_F(MainLoopTest, NoClockTickWhilePausedDeadOrStopped) {
    for (bool GameState::*blocker : {&GameState::Paused, &GameState::PlayerDead}) {
        Game = GameState{};
        Game.InGame = true;
        Game.ClockRunning = true;
        Game.*blocker = true;
        RunUntil(2500);
        EXPECT_EQ(Game.LastClockTick, 0u);
    }
    Game = GameState{};
    Game.InGame = true;
    RunUntil(2500);
    EXPECT_EQ(Game.LastClockTick, 0u);
}

TEST_F(MainLoopTest, FirstTickAfterAPauseComesAtOnce) {
    Game.InGame = true;
    Game.ClockRunning = true;
    Game.Paused = true;
    RunUntil(2600, [&] {
        if (display.now == 2500) Game.Paused = false;
    });
    // The pump that resumes runs before the clock test of the same pass.
    EXPECT_EQ(Game.LastClockTick, 2500u);
}

TEST_F(MainLoopTest, CreditsFadeRunsA52FrameCycle) {
    std::vector<int16_t> levels;
    size_t flips = 0;
    RunUntil(FramePeriod * 110, [&] {
        if (FlipTimes().size() != flips) {
            flips = FlipTimes().size();
            levels.push_back(Game.FadeLevel);
        }
    });
    ASSERT_GE(levels.size(), 105u);
    EXPECT_EQ(levels[0], 0);
    EXPECT_EQ(levels[1], 10);
    EXPECT_EQ(levels[25], 250);
    EXPECT_EQ(levels[26], 255);
    EXPECT_EQ(levels[27], 245);
    EXPECT_EQ(levels[51], 5);
    for (size_t i = 0; i + 52 < levels.size(); ++i) EXPECT_EQ(levels[i], levels[i + 52]) << "frame " << i;
    EXPECT_EQ(std::count(levels.begin(), levels.begin() + 52, 0), 1);
}

TEST_F(MainLoopTest, BetweenFramesTheLoopSleepsUntilTheNextFrameOrTickIsDue) {
    Game.InGame = true;
    Game.ClockRunning = true;
    Game.CaveTime = 100;
    RunUntil(2200);
    ASSERT_FALSE(display.waits.empty());
    for (const auto& [at, length] : display.waits) {
        const uint32_t frameDue = (at / FramePeriod + 1) * FramePeriod;
        const uint32_t tickDue = (at / ClockPeriod + 1) * ClockPeriod;
        EXPECT_EQ(at + length, std::min(frameDue, tickDue)) << "at " << at;
    }
    // Paused, the clock is no reason to wake.
    display.waits.clear();
    Game.Paused = true;
    RunUntil(4000);
    for (const auto& [at, length] : display.waits) EXPECT_EQ((at + length) % FramePeriod, 0u) << "at " << at;
}

TEST_F(MainLoopTest, RunTimeErrorEndsTheLoopWithTheMainLoopMessage) {
    Game.InGame = true;
    display.failing = "Flip";
    display.onPump = [] {};
    Game.Running = true;
    EXPECT_FALSE(MainLoop(run));
    EXPECT_EQ(display.log.back(), "Message Fehler in der Main-Loop!\r5/the fake Flip failed");
}

TEST_F(MainLoopTest, WindowKeysReachTheGameAndClosingTheWindowEndsTheRun) {
    display.posted = {{WindowEvent::Kind::KeyDown, "L"}, {WindowEvent::Kind::KeyDown, "L", false, true}};
    display.onPump = [&] {
        if (display.now == 5) display.posted = {{WindowEvent::Kind::Quit}};
    };
    Game.Running = true;
    ASSERT_TRUE(MainLoop(run));
    EXPECT_EQ(Game.StartLevel, 5);  // lower-case l only
    EXPECT_FALSE(Game.Running);
    EXPECT_EQ(display.now, 5u);
}

TEST_F(MainLoopTest, TheScreenshotShowsTheLastFrameBeforeTheBufferIsCleared) {
    run.frames = 2;
    run.screenshot = "shot.bmp";
    display.onPump = [] {};
    Game.Running = true;
    ASSERT_TRUE(MainLoop(run));
    EXPECT_EQ(run.drawn, 2);
    const auto shot = std::find(display.log.begin(), display.log.end(), "Screenshot shot.bmp");
    ASSERT_NE(shot, display.log.end());
    EXPECT_EQ(*(shot - 1), "Flip 240");
    EXPECT_EQ(*(shot + 1), "Fill #000000");
}

TEST_F(MainLoopTest, ARecordingBeginsWithTheFirstGameAndKeepsTheStartLevelChosenBefore) {
    Recording recording;
    run.recording = &recording;
    display.posted = {{WindowEvent::Kind::KeyDown, "L"},
                      {WindowEvent::Kind::KeyDown, "Right"},
                      {WindowEvent::Kind::KeyReleased, "Right"},
                      {WindowEvent::Kind::KeyDown, "Return"}};
    display.onPump = [&] {
        if (display.now == 300) display.posted = {{WindowEvent::Kind::KeyDown, "Down"}};
        if (display.now >= 1300) Game.Running = false;
    };
    Game.Running = true;
    ASSERT_TRUE(MainLoop(run));
    EXPECT_EQ(recording.cave, FirstCaveOfLevel(5));
    EXPECT_EQ(recording.startLevel, 5);
    ASSERT_FALSE(recording.replay.steps.empty());
    // The Enter that began the game is not part of it; its frames count from there.
    EXPECT_EQ(recording.replay.steps[0].event, ReplayEvent::Down);
    EXPECT_EQ(recording.replay.steps[0].frame, 2);
}

// Counts the recorded steps of each kind per frame.
std::vector<std::pair<int, ReplayEvent>> Steps(const Recording& recording) {
    std::vector<std::pair<int, ReplayEvent>> steps;
    for (const ReplayStep& step : recording.replay.steps)
        if (step.event != ReplayEvent::Tick) steps.emplace_back(step.frame, step.event);
    return steps;
}

// A held key moves again once it has been down through a whole frame after its press,
// then once a frame; the key pressed last wins, and letting it go hands back to the other.
TEST_F(MainLoopTest, AHeldArrowRepeatsAfterAWholeFrameThenOnceAFrameAndTheLastPressedWins) {
    using Kind = WindowEvent::Kind;
    Recording recording;
    run.recording = &recording;
    StartNewGame(1);
    Game.Running = true;
    display.posted = {{Kind::KeyDown, "Right"}};
    display.onPump = [&] {
        if (display.now == 4 * FramePeriod + 5) display.posted = {{Kind::KeyDown, "Keypad 4"}};
        if (display.now == 5 * FramePeriod + 5) display.posted = {{Kind::KeyReleased, "Keypad 4"}};
        if (display.now == 7 * FramePeriod + 5) display.posted = {{Kind::KeyReleased, "Right"}};
        if (display.now >= 9 * FramePeriod) Game.Running = false;
    };
    ASSERT_TRUE(MainLoop(run));
    const std::vector<std::pair<int, ReplayEvent>> expected{
        {0, ReplayEvent::Right}, {2, ReplayEvent::Right}, {3, ReplayEvent::Right}, {4, ReplayEvent::Right},
        {4, ReplayEvent::Left},  {6, ReplayEvent::Right}, {7, ReplayEvent::Right}};
    EXPECT_EQ(Steps(recording), expected);
}

// Leaving the window pauses a cave the player plays as Space would; a replay goes on while
// it has events to play, and only a player who plays on after it is paused.
TEST_F(MainLoopTest, LeavingTheWindowPausesOnlyACaveThePlayerPlays) {
    const Replay replaying{{{5, ReplayEvent::Right}}}, played{{{0, ReplayEvent::Right}}};
    for (const Replay* replay : {static_cast<const Replay*>(nullptr), &replaying, &played}) {
        Recording recording;
        run = GameRun{};
        run.replay = replay;
        run.recording = &recording;
        display.now = 0;
        Game = GameState{};
        StartNewGame(1);
        RunUntil(3 * FramePeriod, [&] {
            if (display.now == 2 * FramePeriod) display.posted = {{WindowEvent::Kind::FocusLost}};
        });
        const bool paused = replay != &replaying;
        EXPECT_EQ(Game.Paused, paused);
        const std::vector<std::pair<int, ReplayEvent>> steps = Steps(recording);
        EXPECT_EQ(std::count(steps.begin(), steps.end(), std::pair{1, ReplayEvent::Space}), paused ? 1 : 0);
    }
}

TEST_F(MainLoopTest, MTurnsTheSoundOffAndOnAgain) {
    display.posted = {{WindowEvent::Kind::KeyDown, "M"}};
    display.onPump = [] { Game.Running = false; };
    Game.Running = true;
    ASSERT_TRUE(MainLoop(run));
    EXPECT_TRUE(SoundMuted());
    display.posted = {{WindowEvent::Kind::KeyDown, "M"}};
    Game.Running = true;
    ASSERT_TRUE(MainLoop(run));
    EXPECT_FALSE(SoundMuted());
}

// The title plays a stored solution after 30 idle seconds, exactly as it goes headless,
// and any key takes the player back with nothing of it kept.
TEST_F(MainLoopTest, TheIdleTitlePlaysADemoExactlyAndAKeyEndsIt) {
    ASSERT_FALSE(DemoSolutions.empty());
    const DemoSolution& first = DemoSolutions[0];
    std::istringstream text(first.replay);
    std::string error;
    const std::optional<Replay> solution = ParseReplay(text, "solution", error);
    ASSERT_TRUE(solution) << error;
    UseDisplayDevice(nullptr);
    StartHeadlessGame(first.cave);
    const GameRun headless = PlayHeadless(solution->steps.back().frame + 1, &*solution, true);
    ASSERT_EQ(headless.exits.size(), 1u);
    UseDisplayDevice(&display);
    UseSoundDevice(&sound);

    Game = GameState{};
    Game.HighScore = 7;
    bool banner = false;
    RunUntil(FramePeriod * (DemoIdleFrames + 400), [&] {
        banner = banner || std::find_if(display.log.begin(), display.log.end(), [](const std::string& call) {
                               return call.rfind("Text DEMO ", 0) == 0;
                           }) != display.log.end();
        // Leaving the window does not stop the demo.
        if (Game.InGame && display.now % FramePeriod == 0) display.posted = {{WindowEvent::Kind::FocusLost}};
        if (!run.exits.empty() && Game.InGame) display.posted = {{WindowEvent::Kind::KeyDown, "Space"}};
        if (!run.exits.empty() && !Game.InGame) Game.Running = false;
    });
    EXPECT_TRUE(banner);
    ASSERT_EQ(run.exits.size(), 1u);
    const CaveExit& demo = run.exits[0];
    const CaveExit& expected = headless.exits[0];
    EXPECT_EQ(std::tie(demo.cave, demo.jewels, demo.time, demo.score),
              std::tie(expected.cave, expected.jewels, expected.time, expected.score));
    EXPECT_FALSE(Game.InGame);
    EXPECT_EQ(Game.HighScore, 7);
}

// On screen too the clock follows a replay without ticks by its frames, where real time
// would tick every 1000 ms instead of after every ninth frame: it ends as it ends headless.
TEST_F(MainLoopTest, AReplayWithoutTicksEndsOnScreenAsItEndsHeadless) {
    std::ifstream file(std::string(SOLUTIONS_DIR) + "/cave03.replay");
    std::string error;
    const std::optional<Replay> solution = ParseReplay(file, "cave03", error);
    ASSERT_TRUE(solution) << error;
    StartHeadlessGame(3);
    const GameRun headless = PlayHeadless(solution->steps.back().frame + 1, &*solution, true);
    ASSERT_EQ(headless.exits.size(), 1u);

    UseDisplayDevice(&display);
    UseSoundDevice(&sound);
    Game = GameState{};
    StartNewGame(3);
    run.replay = &*solution;
    run.stopAtExit = true;
    RunUntil(FramePeriod * static_cast<uint32_t>(headless.exits[0].frame + 100));
    ASSERT_EQ(run.exits.size(), 1u);
    const CaveExit& played = run.exits[0];
    const CaveExit& expected = headless.exits[0];
    EXPECT_EQ(std::tie(played.frame, played.jewels, played.time, played.score),
              std::tie(expected.frame, expected.jewels, expected.time, expected.score));
}

// A cave of the player's own waits while the demo plays its stored cave.
TEST_F(MainLoopTest, TheDemoPlaysItsStoredCaveWhenThePlayerHasOneOfTheirOwn) {
    CaveDefinition own = CaveTable[29];
    own.Description = "own";
    UseCustomCave(&own);
    RunUntil(FramePeriod * (DemoIdleFrames + 400), [&] {
        if (!run.exits.empty() && Game.InGame) display.posted = {{WindowEvent::Kind::KeyDown, "Space"}};
        if (!run.exits.empty() && !Game.InGame) Game.Running = false;
    });
    ASSERT_EQ(run.exits.size(), 1u);
    EXPECT_EQ(run.exits[0].cave, DemoSolutions[0].cave);
    StartNewGame(1);
    EXPECT_EQ(Game.CaveDescription, "own");
    UseCustomCave(nullptr);
}

// However a game is left it counts; a place in the best ten asks the player's name.
TEST_F(MainLoopTest, AGameLeftWithEscOrByClosingTheWindowCounts) {
    using Kind = WindowEvent::Kind;
    const std::string file = ::testing::TempDir() + "kelvoro-scores-" + std::to_string(::getpid());
    auto key = [](const char* name, Key key, char typed = 0) { return WindowEvent{Kind::KeyDown, name, false, false, key, typed}; };
    const std::vector<WindowEvent> named{key("B", Key::None, 'b'), key("O", Key::None, 'o'), key("B", Key::None, 'b')};
    run.keepScores = true;
    for (const auto& [leaving, name] : {std::pair{key("Escape", Key::Escape), std::string("bob")},
                                        std::pair{WindowEvent{Kind::Quit}, DefaultPlayerName()}}) {
        std::remove(file.c_str());
        Game = GameState{};
        KeepScoresIn(file);
        StartNewGame(1);
        Game.Score = 120;
        display.now = 0;
        RunUntil(500, [&] {
            if (display.now == 10) display.posted = {leaving};
            if (display.now == 20) display.posted = named;
            if (display.now == 300) display.posted = {key("Return", Key::Enter)};
        });
        std::string warning;
        EXPECT_EQ(LoadScores(file, warning), (ScoreTable{{120, 1, Today(), name}}));
    }
    std::remove(file.c_str());
    std::remove((file + ".lock").c_str());
}

class MainTest : public MainLoopTest {};

TEST_F(MainTest, StartsInOrderShowsTheTitleAndShutsDownOnLeaving) {
    display.onPump = [] { Game.Running = false; };
    EXPECT_EQ(Main(run), 0);

    std::vector<std::string> expected{"Open", "HidePointer", "ShowWindow"};
    expected.push_back("LoadPicture ./Nuvo.bmp 32x32");
    ASSERT_GE(display.log.size(), 41u);
    EXPECT_EQ(std::vector<std::string>(display.log.begin(), display.log.begin() + 4), expected);
    EXPECT_EQ(display.log[3 + 37], "LoadPicture ./kv001.bmp 640x480");
    EXPECT_EQ(std::vector<std::string>(display.log.end() - 4, display.log.end()),
              (std::vector<std::string>{"ShowPointer", "Fill #000000", "Flip 1", "Close"}));
    std::vector<std::string> sounds{"Open"};
    for (int i = 0; i < SoundCount; ++i) sounds.push_back("Load " + std::to_string(i));
    for (const char* call : {"Loop ", "Stop "}) sounds.push_back(call + std::to_string(SndTheme));
    sounds.push_back("Close");
    EXPECT_EQ(sound.log, sounds);
    EXPECT_EQ(Game.StartLevel, 1);
    EXPECT_EQ(Game.CreditLine, -1);
    EXPECT_EQ(Game.HighScore, 0);
}

TEST_F(MainTest, DisplayFailureIsReportedOnceAndSkipsShutDown) {
    display.failing = "Open";
    EXPECT_EQ(Main(run), 1);
    EXPECT_EQ(display.log, (std::vector<std::string>{"Open", "Message Fehler in der DirectX-Init:\r5/the fake Open failed"}));
    EXPECT_TRUE(sound.log.empty());
}

TEST_F(MainTest, MissingSoundEndsTheProgramAtOnceNamingTheFile) {
    sound.failingLoad = SndInfo;
    EXPECT_EQ(Main(run), 1);
    // A file that cannot be loaded is not the sound card's fault.
    EXPECT_EQ(display.log, (std::vector<std::string>{"Open", "Message 53/cannot load ./kvinfo.wav"}));
    EXPECT_EQ(sound.log.back(), "Load " + std::to_string(SndInfo));
}

TEST_F(MainTest, WithoutASoundDeviceTheGamePlaysSilentlyAndSaysSoOnce) {
    sound.failingOpen = "no audio hardware";
    bool silent = false;
    display.onPump = [&] {
        silent = SoundUnavailable();
        Game.Running = false;
    };
    std::ostringstream err;
    std::streambuf* const before = std::cerr.rdbuf(err.rdbuf());
    const int status = Main(run);
    std::cerr.rdbuf(before);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(silent);
    EXPECT_EQ(sound.log, std::vector<std::string>{"Open"});
    EXPECT_EQ(std::count_if(display.log.begin(), display.log.end(),
                            [](const std::string& call) { return call.rfind("Message", 0) == 0; }),
              0);
    EXPECT_EQ(err.str(), "kelvoro: no sound: no audio hardware\n");
}

TEST_F(MainTest, MissingPictureShowsItsMessageAndShutsDown) {
    display.failing = "LoadPicture";
    EXPECT_EQ(Main(run), 1);
    EXPECT_EQ(std::count_if(display.log.begin(), display.log.end(),
                            [](const std::string& call) { return call.rfind("LoadPicture", 0) == 0; }),
              1);
    EXPECT_NE(std::find(display.log.begin(), display.log.end(),
                        "Message Fehler in der Load_BMP-Function\r5/the fake LoadPicture failed"),
              display.log.end());
    EXPECT_EQ(display.log.back(), "Close");
}

}  // namespace
