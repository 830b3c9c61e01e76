#include <gtest/gtest.h>

#include <algorithm>

#include "cave_builder.h"
#include "core/caves.h"
#include "core/state.h"
#include "rules/bookkeeping.h"
#include "rules/fall.h"
#include "rules/score.h"
#include "shell/keys.h"

namespace {

class BookkeepingTest : public ::testing::Test {
protected:
    void SetUp() override { LoadMap({"9999", "9F09", "9X09", "9999"}); }
    void TearDown() override { UseCustomCave(nullptr); }

    int Fills(Colour colour) const {
        const std::string call = "Fill " + ColourText(colour);
        return static_cast<int>(std::count(TestDisplay().log.begin(), TestDisplay().log.end(), call));
    }
};

TEST_F(BookkeepingTest, JewelsScoreTheirValueUntilTheExitOpensThenTheExtraValue) {
    Game.CaveNumber = 1;
    LoadCave(Game.CaveNumber);
    for (int jewel = 1; jewel <= 11; ++jewel) CollectJewel();
    EXPECT_EQ(Game.Score, 110);
    EXPECT_EQ(Game.JewelsNeeded, 1);
    EXPECT_EQ(Game.Cave(Game.ExitX, Game.ExitY), SteelWall);

    CollectJewel();
    EXPECT_EQ(Game.Score, 120);
    EXPECT_EQ(Game.JewelsNeeded, -1);
    EXPECT_EQ(Game.Cave(Game.ExitX, Game.ExitY), ExitDoor);
    EXPECT_EQ(TimesPlayed(SndBoing), 1);
    EXPECT_EQ(Fills(MakeColour(0, 255, 255)), 1);

    CollectJewel();
    EXPECT_EQ(Game.Score, 135);
    EXPECT_EQ(Game.JewelsCollected, 13);
    EXPECT_EQ(TimesPlayed(SndPling), 13);
    EXPECT_EQ(TimesPlayed(SndBoing), 1);
}

TEST_F(BookkeepingTest, EveryMultipleOf500PointsGivesOneLife) {
    Game.Score = 495;
    Game.JewelsNeeded = 50;
    CollectJewel();  // ten points, one at a time: 500 is passed once
    EXPECT_EQ(Game.Score, 505);
    EXPECT_EQ(Game.Lives, 4);
    EXPECT_EQ(TimesPlayed(SndLive), 1);
    EXPECT_EQ(Fills(MakeColour(255, 0, 0)), 1);

    // The time bonus grants lives too, without the flash.
    Game.Score = 990;
    Game.CaveTime = 20;
    FinishCave();
    EXPECT_EQ(Game.Score, 1011);
    EXPECT_EQ(Game.Lives, 5);
    EXPECT_EQ(Fills(MakeColour(255, 0, 0)), 1);
}

TEST_F(BookkeepingTest, TheTimeBonusIsTheTimeLeftPlusOne) {
    Game.CaveTime = 20;
    FinishCave();
    EXPECT_EQ(Game.Score, 21);
    EXPECT_EQ(Game.CaveTime, -1);
    EXPECT_EQ(TimesPlayed(SndFinish), 1);

    Game.Score = 0;
    Game.CaveTime = 0;
    Game.BonusCave = true;
    FinishCave();
    EXPECT_EQ(Game.Score, 0);
    EXPECT_EQ(TimesPlayed(SndBonus), 1);
}

TEST_F(BookkeepingTest, ThePlayerAppearsOnTheFourthSecond) {
    Game.BirthCounter = 0;
    Game.CaveTime = 100;
    for (int second = 1; second <= 3; ++second) {
        ClockTick();
        EXPECT_EQ(Game.BirthCounter, second);
    }
    TestDisplay().copies.clear();
    ClockTick();
    EXPECT_EQ(Game.BirthCounter, -1);
    ASSERT_EQ(TestDisplay().copies.size(), 1u);
    EXPECT_EQ(TestDisplay().copies[0].picture, PlayerBmp[0]);
    EXPECT_EQ(Game.CaveTime, 96);
}

TEST_F(BookkeepingTest, TheLastSecondsTickAudiblyAndTimeRunsOutWithAnExplosion) {
    Game.CaveTime = 8;
    std::vector<int16_t> warned;
    for (int second = 0; second < 8; ++second) {
        const int before = TimesPlayed(SndTime);
        ClockTick();
        if (TimesPlayed(SndTime) > before) warned.push_back(Game.CaveTime);
    }
    EXPECT_EQ(warned, (std::vector<int16_t>{5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(TimesPlayed(SndTimeout), 1);
    EXPECT_TRUE(Game.PlayerDead);
    EXPECT_EQ(Game.Lives, 2);
    EXPECT_EQ(Game.Cave(2, 2), Explosion);
    EXPECT_EQ(Game.ExplosionTimer, 0);
}

TEST_F(BookkeepingTest, TheEnchantedWallExpiresAfterItsCavesTime) {
    for (int16_t cave : {9, 18}) {
        Game.CaveNumber = cave;
        Game.EnchantedWallActive = true;  // left over from the cave before: a load ends it
        Game.EnchantedWallSeconds = 5;
        StartCave();
        Game.EnchantedWallActive = true;
        int seconds = 0;
        while (Game.EnchantedWallActive && seconds < 100) {
            ClockTick();
            ++seconds;
        }
        EXPECT_EQ(seconds, Game.EnchantedWallTime) << "cave " << cave;
        EXPECT_EQ(Game.EnchantedWallSeconds, 0);
        for (int16_t cell : Game.Cave.cells) EXPECT_NE(cell, EnchantedWall);
    }
}

TEST_F(BookkeepingTest, StartCavePlacesTheViewOnThePlayer) {
    LoadMap({});
    UseCustomCave(&LoadedMap());
    const struct {
        int16_t x, y, scrollX, scrollY;
    } cases[] = {{4, 3, 0, 0}, {8, 10, 0, 0}, {9, 11, -32, -32}, {30, 20, -544, -288}, {40, 25, -544, -288}};
    for (const auto& c : cases) {
        std::string row(40, '9');
        row[static_cast<size_t>(c.x - 1)] = 'F';
        std::vector<std::string> map(25, std::string(40, '9'));
        map[static_cast<size_t>(c.y - 1)] = row;
        map[1][0] = 'X';
        LoadMap(map);
        UseCustomCave(&LoadedMap());
        StartCave();
        EXPECT_EQ(Game.ScrollX, c.scrollX) << c.x << "," << c.y;
        EXPECT_EQ(Game.ScrollY, c.scrollY) << c.x << "," << c.y;
    }
    LoadMap({"9999", "9F09", "9X09", "9999"}, {.bonus = true});
    UseCustomCave(nullptr);
    StartCave();  // a bonus cave being left moves on to the next
    EXPECT_EQ(Game.CaveNumber, 1);
    EXPECT_FALSE(Game.BonusCave);
}

TEST_F(BookkeepingTest, StartCaveResetsThePerStartState) {
    Game.CaveNumber = 5;
    Game.PlayerDead = true;
    Game.ExitReached = true;
    Game.AmoebaTicks = 17;
    Game.ClockRunning = false;
    StartCave();
    EXPECT_TRUE(Game.BonusCave);
    EXPECT_FALSE(Game.PlayerDead);
    EXPECT_FALSE(Game.ExitReached);
    EXPECT_EQ(Game.AmoebaTicks, 0);
    EXPECT_EQ(Game.BirthCounter, 0);
    EXPECT_TRUE(Game.ClockRunning);
    EXPECT_EQ(Game.ScrollX, 0);
    EXPECT_EQ(TestSound().log.front(), "Stop " + std::to_string(SndBonus2));
    EXPECT_EQ(TestSound().log.back(), "Loop " + std::to_string(SndBonus2));
    EXPECT_EQ(Fills(MakeColour(255, 255, 255)), 1);
}

TEST_F(BookkeepingTest, ACaveThatNeedsNoJewelsStartsWithItsExitOpen) {
    LoadMap({"9999", "9F09", "9X09", "9999"}, {.need = 0});
    UseCustomCave(&LoadedMap());
    StartCave();
    EXPECT_EQ(Region(4, 4), (Rows{"9999", "9F09", "9D09", "9999"}));
    EXPECT_EQ(Game.JewelsNeeded, -1);
}

TEST_F(BookkeepingTest, DyingInABonusCaveCostsNoLifeAndMovesOn) {
    Game.CaveNumber = 5;
    StartCave();
    Game.CaveTime = 1;
    ClockTick();  // time runs out
    EXPECT_EQ(Game.Lives, 3);
    EXPECT_EQ(Game.CaveNumber, 6);
    EXPECT_FALSE(Game.BonusCave);
    EXPECT_FALSE(Game.PlayerDead);
}

TEST_F(BookkeepingTest, TheHighScoreIsKeptOnlyWhenTheLastLifeGoes) {
    Game.Score = 700;
    Game.Lives = 2;
    Game.CaveTime = 1;
    ClockTick();
    EXPECT_EQ(Game.Lives, 1);
    EXPECT_EQ(Game.HighScore, 0);
    LoadMap({"9999", "9F09", "9X09", "9999"});
    Game.Score = 700;
    Game.Lives = 1;
    Game.CaveTime = 1;
    ClockTick();
    EXPECT_EQ(Game.Lives, 0);
    EXPECT_EQ(Game.HighScore, 700);
}

TEST_F(BookkeepingTest, ANewGameFromAStartLevelBeginsAtItsCave) {
    const std::pair<int16_t, int16_t> levels[] = {{1, 1}, {5, 6}, {9, 11}, {13, 16}, {17, 21}, {21, 26}};
    for (const auto& [level, cave] : levels) {
        Game = GameState{};
        Game.StartLevel = level;
        Game.Score = 999;
        CommandKey(Key::Enter);
        EXPECT_EQ(Game.CaveNumber, cave);
        EXPECT_EQ(Game.Lives, 3);
        EXPECT_EQ(Game.Score, 0);
        EXPECT_TRUE(Game.InGame);
        EXPECT_EQ(Game.LevelNumber, level);
    }
}

}  // namespace
