#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "cave_builder.h"
#include "core/state.h"
#include "render/view.h"
#include "shell/frame.h"
#include "shell/keys.h"
#include "shell/scores.h"
#include "shell/title.h"

namespace {

// The texts of the last frame, as "text x,y colour"; with a y, only those at that height.
std::vector<std::string> Texts(int y = -1) {
    std::vector<std::string> texts;
    for (const std::string& call : TestDisplay().log)
        if (call.rfind("Text ", 0) == 0 && (y < 0 || call.find("," + std::to_string(y) + " ") != std::string::npos))
            texts.push_back(call.substr(5));
    return texts;
}

// Whether a text of the last frame begins so.
bool Shows(const std::string& start) {
    return std::ranges::any_of(Texts(), [&](const std::string& text) { return text.starts_with(start); });
}

std::string White(const std::string& text, int x) { return text + " " + std::to_string(x) + ",5 " + ColourText(MakeColour(255, 255, 255)); }
std::string Red(const std::string& text, int x) { return text + " " + std::to_string(x) + ",5 " + ColourText(MakeColour(255, 0, 0)); }
std::string Green(const std::string& text, int x) { return text + " " + std::to_string(x) + ",5 " + ColourText(MakeColour(0, 255, 0)); }

Picture DrawnLastAt(int x, int y) {
    Picture picture{255};
    for (const CopyCall& call : TestDisplay().copies)
        if (call.x == 32 * x && call.y == 32 * y) picture = call.picture;
    return picture;
}

const std::vector<std::string> Room{"999999",
                                    "9F0309",
                                    "900009",
                                    "970009",
                                    "9X1119",
                                    "999999"};

TEST(FrameTest, TheStatusLineShowsEveryField) {
    LoadMap(Room, {.need = 12, .value = 10, .extra = 15});
    Game.LevelNumber = 7;
    Game.JewelsCollected = 3;
    Game.CaveTime = 11;
    Game.Score = 1234;
    GameFrame();
    EXPECT_EQ(Texts(), (std::vector<std::string>{White("12", 200), Green("X", 229), White("10", 250), White("3", 350),
                                                 White("Time: 011", 500), White("Score: 001234", 652),
                                                 White("Level: 7   Lives: 3", 32)}));

    TestDisplay().log.clear();
    Game.JewelsNeeded = -1;
    Game.CaveTime = 10;
    Game.Score = 1234567;
    Game.BonusCave = true;
    GameFrame();
    EXPECT_EQ(Texts(), (std::vector<std::string>{Red("X", 229), White("15", 250), White("3", 350),
                                                 Red("Time: 010", 500), White("Score: 1234567", 652),
                                                 White("Bonus-Level Lives: 3", 32)}));
}

TEST(FrameTest, OneBannerReplacesTheStatusLineInOrder) {
    LoadMap(Room);
    Game.Paused = true;
    Game.Lives = 0;
    Game.BirthCounter = 2;
    Game.CaveTime = 0;
    GameFrame();
    EXPECT_EQ(Texts(5), (std::vector<std::string>{White("             S P A C E B A R   T O   R E S U M E", 200)}));

    const std::vector<std::string> banners{White("         G  A  M  E     O  V  E  R", 200), Red("a test cave", 32),
                                           White("        O  U  T     O  F     T  I  M  E", 200)};
    Game.Paused = false;
    for (const std::string& banner : banners) {
        TestDisplay().log.clear();
        GameFrame();
        EXPECT_EQ(Texts(5), std::vector<std::string>{banner});
        if (Game.Lives == 0)
            Game.Lives = 1;
        else
            Game.BirthCounter = -1;
    }
}

// Under the cave the game says what the player can do next.
TEST(FrameTest, UnderTheCaveTheGameSaysWhatToDoNext) {
    const std::tuple<bool, bool, int16_t, int16_t, bool, std::string> cases[] = {  // paused, dead, lives, place, bonus
        {true, false, 3, 0, false, "Arrows dig   Space resumes"},
        {false, true, 2, 0, false, "Press Enter to try again"},
        {false, true, 2, 0, true, "Press Enter to go on"},
        {false, true, 0, 3, false, "Final score 001234, 3rd in the best ten   -   Esc: back to the title"},
        {false, true, 0, 0, false, "Final score 001234   -   Esc: back to the title"},
        {false, false, 3, 0, false, ""},
    };
    for (const auto& [paused, dead, lives, place, bonus, says] : cases) {
        LoadMap(Room, {.bonus = bonus});
        Game.Paused = paused;
        Game.PlayerDead = dead;
        Game.Lives = lives;
        Game.TablePlace = place;
        Game.Score = 1234;
        GameFrame();
        const std::vector<std::string> below = Texts(572);
        EXPECT_EQ(below.size(), says.empty() ? 0u : 1u) << says;
        for (const std::string& text : below) EXPECT_EQ(text.rfind(says + " ", 0), 0u) << text;
    }
}

// The title says how to start, asks the name of a player who made the best ten, and
// shows the table; without sound it says so first.
TEST(TitleTest, TheTitleSaysWhatToDo) {
    LoadMap(Room);
    Game = GameState{};
    Scores = ScoreBook{};
    Game.StartLevel = 5;
    DrawTitleScreen();
    EXPECT_TRUE(Shows("Press Enter to start at level 5 "));

    Scores.table = {{1234, 7, "2026-05-01", "ada"}};
    Scores.entered = Scores.table[0];
    Scores.askingName = true;
    Scores.name = "bo";
    Game.TablePlace = 1;
    TestDisplay().log.clear();
    DrawTitleScreen();
    for (const char* shown : {"0001234 points: 1st place in the best ten! ", "Your name: bo_ "}) EXPECT_TRUE(Shows(shown)) << shown;
    EXPECT_FALSE(Shows("Press Enter"));

    Scores.askingName = false;
    Scores.file = "kept";
    TestDisplay().log.clear();
    DrawTitleScreen(TableIdleFrames);
    for (const char* shown : {"The best ten ", "ada ", "0001234 ", "cave 7 ", "2026-05-01 "}) EXPECT_TRUE(Shows(shown)) << shown;
    Scores = ScoreBook{};

    TestSound().failingOpen = "no device";
    InitSound();
    Game.CreditLine = -1;
    TestDisplay().log.clear();
    DrawTitleScreen();
    EXPECT_TRUE(Shows("No sound device could be opened"));
    ReleaseSound();
}

TEST(FrameTest, WhilePausedTheCaveStandsStillAndThePlayerCyclesHisPoses) {
    LoadMap(Room);
    Game.Paused = true;
    const Rows before = Region(6, 6);
    std::vector<Picture> poses;
    for (int frame = 0; frame < 40; ++frame) {
        TestDisplay().copies.clear();
        GameFrame();
        poses.push_back(DrawnLastAt(2, 2));
    }
    EXPECT_EQ(Region(6, 6), before);
    for (int frame = 0; frame < 39; ++frame)
        EXPECT_EQ(poses[static_cast<size_t>(frame)], PlayerBmp[static_cast<size_t>(1 + std::min(frame / 10, 3))]) << frame;
    EXPECT_EQ(poses[39], PlayerBmp[1]);
    EXPECT_EQ(Game.PauseBlink, 1);
}

TEST(FrameTest, DuringTheIntroThePlayersCellShowsTheDoor) {
    LoadMap(Room);
    Game.BirthCounter = 1;
    for (int frame = 0; frame < 3; ++frame) {
        TestDisplay().copies.clear();
        GameFrame();
        EXPECT_EQ(DrawnLastAt(2, 2), DoorBmp[static_cast<size_t>(Game.AnimFrame)]);
    }
}

TEST(FrameTest, AfterGameOverTheCaveGoesOnLiving) {
    LoadMap(Room);
    Game.Lives = 0;
    GameFrame();
    GameFrame();
    EXPECT_NE(Region(6, 6), (Rows(Room.begin(), Room.end())));
    EXPECT_EQ(Game.Cave(5, 2), Empty);  // the boulder has begun to fall
}

TEST(FrameTest, TheRedrawAnimatesCellsAndEndsExplosions) {
    LoadMap({"99999",
             "92659",
             "97149",
             "99999"});
    Game.Cave(2, 3) = Explosion;
    Game.ExplosionTimer = 4;
    Game.AnimFrame = 1;
    Game.AmoebaFrame = 2;
    RedrawCave();
    EXPECT_EQ(DrawnLastAt(2, 2), JewelBmp[1]);
    EXPECT_EQ(DrawnLastAt(3, 2), ButterflyBmp[1]);
    EXPECT_EQ(DrawnLastAt(4, 2), AmoebaBmp[0]);
    EXPECT_EQ(DrawnLastAt(2, 3), ExploBmp[4]);
    EXPECT_EQ(DrawnLastAt(4, 3), BrickBmp);  // dormant enchanted wall
    Game.EnchantedWallActive = true;
    Game.AmoebaFrame = 3;
    Game.ExplosionTimer = 9;
    RedrawCave();
    EXPECT_EQ(DrawnLastAt(4, 3), MagicWallBmp[1]);
    EXPECT_EQ(DrawnLastAt(4, 2), AmoebaBmp[1]);
    EXPECT_EQ(DrawnLastAt(2, 3), EmptyBmp);
    EXPECT_EQ(Game.Cave(2, 3), Empty);
}

TEST(KeyTest, ArrowsMoveOnlyAPlayerWhoIsThereAndFree) {
    const auto triedAfter = [](auto setup) {
        LoadMap(Room);
        setup();
        MoveKey(Key::Right);
        return Game.PlayerX == 3;
    };
    EXPECT_TRUE(triedAfter([] {}));
    EXPECT_FALSE(triedAfter([] { Game.InGame = false; }));
    EXPECT_FALSE(triedAfter([] { Game.Paused = true; }));
    EXPECT_FALSE(triedAfter([] { Game.PlayerDead = true; }));
    EXPECT_FALSE(triedAfter([] { Game.BirthCounter = 3; }));
}

TEST(KeyTest, TheStartLevelCyclesWithLowerCaseLOnTheTitleOnly) {
    LoadMap(Room);
    Game.InGame = false;
    Game.StartLevel = 1;
    std::vector<int16_t> levels;
    for (int press = 0; press < 6; ++press) {
        CommandKey(Key::Level);
        levels.push_back(Game.StartLevel);
    }
    EXPECT_EQ(levels, (std::vector<int16_t>{5, 9, 13, 17, 21, 1}));
    EXPECT_EQ(TimesPlayed(SndPling), 6);
    if (const auto shiftL = EventOfKey({WindowEvent::Kind::KeyDown, "L", false, true})) PressKey(*shiftL);
    EXPECT_EQ(Game.StartLevel, 1);
    Game.InGame = true;
    CommandKey(Key::Level);
    EXPECT_EQ(Game.StartLevel, 1);
}

TEST(KeyTest, SpacePausesAndResumesOnlyALivingGame) {
    LoadMap(Room);
    Game.BirthCounter = 2;  // the intro may be paused
    Game.AmoebaTicks = 20;
    CommandKey(Key::Space);
    EXPECT_TRUE(Game.Paused);
    EXPECT_EQ(TestSound().log.back(), "Loop " + std::to_string(SndInfo));
    CommandKey(Key::Space);
    EXPECT_FALSE(Game.Paused);
    EXPECT_EQ(Game.AmoebaTicks, 0);
    EXPECT_EQ(TestSound().log.back(), "Stop " + std::to_string(SndInfo));

    Game.PlayerDead = true;
    CommandKey(Key::Space);
    EXPECT_FALSE(Game.Paused);
    Game.InGame = false;
    Game.PlayerDead = false;
    CommandKey(Key::Space);
    EXPECT_FALSE(Game.Paused);
}

TEST(KeyTest, EnterRestartsWhileALifeIsLeftAndEscLeavesForTheTitle) {
    LoadMap(Room);
    Game.CaveNumber = 2;
    Game.Paused = true;
    Game.Score = 300;
    CommandKey(Key::Enter);
    EXPECT_FALSE(Game.Paused);
    EXPECT_EQ(Game.BirthCounter, 0);
    EXPECT_EQ(Game.CaveNumber, 2);
    EXPECT_EQ(Game.Score, 300);
    EXPECT_EQ(TestSound().log.front(), "Stop " + std::to_string(SndInfo));

    Game.Lives = 0;
    Game.BirthCounter = -1;
    CommandKey(Key::Enter);  // game over: only Esc leads on
    EXPECT_EQ(Game.BirthCounter, -1);

    Game.ScrollX = -64;
    CommandKey(Key::Escape);
    EXPECT_FALSE(Game.InGame);
    EXPECT_EQ(Game.ScrollX, 0);
    EXPECT_EQ(Game.Score, 300);
    EXPECT_EQ(TestSound().log.back(), "Loop " + std::to_string(SndTheme));
    CommandKey(Key::Enter);
    EXPECT_EQ(Game.Score, 0);
    EXPECT_EQ(Game.Lives, 3);
    CommandKey(Key::Escape);
    Game.Running = true;
    CommandKey(Key::Escape);
    EXPECT_FALSE(Game.Running);
}

}  // namespace
