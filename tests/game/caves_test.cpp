#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/caves.h"
#include "core/state.h"
#include "game_fixture.h"
#include "render/view.h"

namespace {

// What each cave's rows must hold, by kind; kinds not named hold none.
struct Contents {
    int jewels = 0, fireflies = 0, butterflies = 0, amoeba = 0, enchanted = 0, growing = 0;
};

struct ExpectedCave {
    const char* description;
    int level, need, value, extra, time, wall;
    Contents contents;
};

const std::string Bonus = "          B O N U S   -   L E V E L";

const ExpectedCave Expected[CaveCount] = {
    {"Intro: Pick up jewels and exit before time is up", 1, 12, 10, 15, 153, 0, {.jewels = 18}},
    {"Rooms: Pick up jewels, but you must move boulders to get all jewels", 2, 10, 20, 50, 153, 0,
     {.jewels = 11, .fireflies = 1}},
    {"Maze: Pick up jewels. You must get every jewel to exit", 3, 24, 15, 0, 153, 0, {.jewels = 24}},
    {"Butterflies: Drop boulders on butterflies to create jewels", 4, 36, 5, 20, 123, 0, {.butterflies = 4}},
    {nullptr, 0, 6, 30, 0, 23, 0, {.butterflies = 1}},
    {"Guards: The jewels are there for grapping, but they are guarded by the deadly fireflies", 5, 4, 50, 90, 153, 0,
     {.jewels = 8, .fireflies = 8}},
    {"Firefly dens: Each firefly is guarding a jewel", 6, 4, 40, 60, 153, 0, {.jewels = 8, .fireflies = 8}},
    {"Amoeba: Surround the amoeba with boulders, so it can't grow anymore. Pick up jewels that are created when it "
     "suffocates",
     7, 15, 10, 20, 153, 0, {.jewels = 10, .fireflies = 5, .amoeba = 1}},
    {"Enchanted wall: Activate the enchanted wall and create as many jewels as you can", 8, 10, 10, 20, 123, 20,
     {.jewels = 5, .fireflies = 3, .enchanted = 8}},
    {nullptr, 0, 16, 10, 0, 23, 0, {.jewels = 16, .fireflies = 8}},
    {"Greed: You have to get a lot of jewels here, lucky there are so many", 9, 75, 5, 10, 153, 0, {.jewels = 178}},
    {"Tracks: Get the jewels, avoid the fireflies", 10, 12, 25, 60, 153, 0, {.jewels = 16, .fireflies = 18}},
    {"Crowd: You must move a lot of boulders around in some tight spaces", 11, 6, 50, 0, 123, 0,
     {.jewels = 6, .fireflies = 5}},
    {"Walls: You must blast hrough walls to get at some of the jewels. Drop a boulder on a firefly at the right time "
     "and place to do this",
     12, 19, 20, 0, 183, 0, {.jewels = 19, .fireflies = 3}},
    {nullptr, 0, 14, 10, 0, 23, 0, {.jewels = 14, .fireflies = 16}},
    {"Apocalypse: Bring the butterflies and amoeba together and watch the jewels fly", 13, 50, 5, 8, 163, 0,
     {.butterflies = 29, .amoeba = 1}},
    {"Zigzag: Magically transform the butterflies into jewels, but don't waste any boulders and watch out the "
     "fireflies",
     14, 30, 10, 20, 153, 0, {.fireflies = 6, .butterflies = 6}},
    {"Funnel: There is an enchanted wall at the bottom of the rock tunnel", 15, 15, 10, 20, 123, 8,
     {.fireflies = 5, .enchanted = 3}},
    {"Enchanted boxes: The top of each square room is an enchanted wall, but you'll have to blast your way inside", 16,
     12, 10, 20, 153, 20, {.fireflies = 4, .enchanted = 12}},
    {nullptr, 0, 6, 30, 0, 23, 3, {.enchanted = 6}},
    {"E2-RB: Watch out for the growing walls", 17, 15, 20, 40, 153, 0,
     {.jewels = 18, .fireflies = 4, .growing = 2}},
    {"Intro v.2: the other version; Pick up jewels and exit before time is up", 18, 12, 10, 0, 153, 0, {.jewels = 12}},
    {"Rooms v.2: the other version; Pick up jewels, but you must move boulders to get all jewels", 19, 10, 20, 50, 153,
     0, {.jewels = 12, .fireflies = 1}},
    {"Maze v.2: the other version; Pick up jewels. You must get every jewel to exit", 20, 30, 15, 0, 183, 0,
     {.jewels = 30}},
    {nullptr, 0, 4, 30, 0, 23, 0, {.jewels = 4}},
    {"Crazy: Be careful, there alot of boulders", 21, 80, 5, 80, 153, 0, {.jewels = 81}},
    {"Wow: Every step a trap", 22, 20, 20, 25, 123, 0, {.jewels = 26, .fireflies = 28}},
    {"Maze: ..oh no, another labyrinth", 23, 90, 10, 15, 153, 0, {.jewels = 112}},
    {"Firefly: Pick up all jewels", 24, 10, 25, 0, 153, 0, {.jewels = 10, .fireflies = 10}},
    {nullptr, 0, 6, 30, 0, 23, 0, {.jewels = 6, .butterflies = 1}},
};

bool IsBonus(int number) { return number % 5 == 0; }

int CountOf(const CaveDefinition& cave, char c) {
    int count = 0;
    for (std::string_view row : cave.Rows) count += static_cast<int>(std::count(row.begin(), row.end(), c));
    return count;
}

// Is (x, y), both from 1, inside the area a cave may fill freely?
bool InPlayArea(int number, int x, int y) {
    if (IsBonus(number)) return x >= 2 && x <= 19 && y >= 2 && y <= 11;
    const int lastRow = number == 21 ? 24 : 21;
    return x >= 2 && x <= 39 && y >= 2 && y <= lastRow;
}

class CaveTableTest : public ::testing::TestWithParam<int> {};

TEST_P(CaveTableTest, MatchesItsRowOfTheTable) {
    const int number = GetParam();
    const CaveDefinition& cave = CaveTable[static_cast<size_t>(number - 1)];
    const ExpectedCave& expected = Expected[number - 1];
    EXPECT_EQ(cave.Description, expected.description ? std::string(expected.description) : Bonus);
    EXPECT_EQ(cave.Bonus, IsBonus(number));
    EXPECT_EQ(cave.LevelNumber, expected.level);
    EXPECT_EQ(cave.JewelsNeeded, expected.need);
    EXPECT_EQ(cave.JewelValue, expected.value);
    EXPECT_EQ(cave.ExtraJewelValue, expected.extra);
    EXPECT_EQ(cave.CaveTime, expected.time);
    EXPECT_EQ(cave.EnchantedWallTime, expected.wall);
    EXPECT_EQ(CountOf(cave, '2'), expected.contents.jewels);
    EXPECT_EQ(CountOf(cave, '7'), expected.contents.fireflies);
    EXPECT_EQ(CountOf(cave, '6'), expected.contents.butterflies);
    EXPECT_EQ(CountOf(cave, '5'), expected.contents.amoeba);
    EXPECT_EQ(CountOf(cave, '4'), expected.contents.enchanted);
    EXPECT_EQ(CountOf(cave, 'Z'), expected.contents.growing);
}

TEST_P(CaveTableTest, KeepsTheLayoutRules) {
    const int number = GetParam();
    const CaveDefinition& cave = CaveTable[static_cast<size_t>(number - 1)];
    EXPECT_EQ(CountOf(cave, 'F'), 1);
    EXPECT_EQ(CountOf(cave, 'X'), 1);
    for (int y = 1; y <= CaveHeight; ++y) {
        const std::string_view row = cave.Rows[static_cast<size_t>(y - 1)];
        ASSERT_EQ(row.size(), 40u) << "row " << y;
        for (int x = 1; x <= CaveWidth; ++x) {
            const char c = row[static_cast<size_t>(x - 1)];
            EXPECT_NE(std::string_view("0123456789FXZ").find(c), std::string_view::npos)
                << "row " << y << " column " << x;
            const bool exitInBorder = c == 'X' && (x == 1 || x == 40) && y >= 2 && InPlayArea(number, 2, y);
            if (!InPlayArea(number, x, y) && !exitInBorder) {
                EXPECT_EQ(c, '9') << "row " << y << " column " << x << " lies outside the play area";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllCaves, CaveTableTest, ::testing::Range(1, CaveCount + 1));

TEST(CaveTableTest, BonusCavesFitTheScreenWithTheirExitInside) {
    for (int number = 5; number <= CaveCount; number += 5) {
        const CaveDefinition& cave = CaveTable[static_cast<size_t>(number - 1)];
        for (int y = 1; y <= CaveHeight; ++y) {
            const size_t x = cave.Rows[static_cast<size_t>(y - 1)].find('X');
            if (x != std::string_view::npos) {
                EXPECT_TRUE(InPlayArea(number, static_cast<int>(x) + 1, y)) << "cave " << number;
            }
        }
    }
}

class LoadCaveTest : public GameFixture {
protected:
    Picture DrawnAt(int x, int y) const {
        for (const CopyCall& call : display.copies)
            if (call.x == 32 * x + Game.ScrollX && call.y == 32 * y + Game.ScrollY) return call.picture;
        ADD_FAILURE() << "nothing drawn at " << x << "," << y;
        return Picture{255};
    }
};

TEST_F(LoadCaveTest, CaveOneSetsItsNumbersPlayerAndExit) {
    Game.CaveNumber = 1;
    LoadCave(Game.CaveNumber);
    RedrawCave();
    EXPECT_EQ(Game.PlayerX, 4);
    EXPECT_EQ(Game.PlayerY, 3);
    EXPECT_EQ(Game.Cave(4, 3), Player);
    EXPECT_EQ(DrawnAt(4, 3), DoorBmp[0]);
    EXPECT_EQ(Game.Cave(Game.ExitX, Game.ExitY), SteelWall);
    EXPECT_EQ(Game.JewelsNeeded, 12);
    EXPECT_EQ(Game.JewelValue, 10);
    EXPECT_EQ(Game.ExtraJewelValue, 15);
    EXPECT_EQ(Game.CaveTime, 153);
    EXPECT_EQ(Game.LevelNumber, 1);
    EXPECT_FALSE(Game.BonusCave);
    EXPECT_EQ(Game.JewelsCollected, 0);
    EXPECT_EQ(Game.Enemies.size() + Game.Amoebas.size() + Game.GrowingWalls.size(), 0u);

    // The hidden exit shows as steel; scroll to its corner to see it.
    display.copies.clear();
    Game.ScrollX = -544;
    Game.ScrollY = -288;
    RedrawCave();
    EXPECT_EQ(DrawnAt(Game.ExitX, Game.ExitY), SteelBmp);
}

TEST_F(LoadCaveTest, NumbersOutsideTheTableLoadCaveOne) {
    for (int16_t number : {int16_t{31}, int16_t{0}, int16_t{-5}}) {
        Game.CaveNumber = number;
        LoadCave(Game.CaveNumber);
        EXPECT_EQ(Game.CaveNumber, 1);
        EXPECT_EQ(Game.CaveDescription, CaveTable[0].Description);
    }
}

TEST_F(LoadCaveTest, GridMatchesTheRowsAndColumnZeroAndRowZeroStayEmpty) {
    for (int16_t number = 1; number <= CaveCount; ++number) {
        for (int16_t& cell : Game.Cave.cells) cell = 7;  // what a previous cave might have left
        for (int y = 0; y <= CaveHeight; ++y) Game.Cave(0, y) = 0;
        for (int x = 0; x <= CaveWidth; ++x) Game.Cave(x, 0) = 0;
        int16_t n = number;
        LoadCave(n);
        const CaveDefinition& cave = CaveTable[static_cast<size_t>(number - 1)];
        for (int y = 1; y <= CaveHeight; ++y)
            for (int x = 1; x <= CaveWidth; ++x) {
                const char c = cave.Rows[static_cast<size_t>(y - 1)][static_cast<size_t>(x - 1)];
                const int16_t expected = c == 'F' ? Player : c == 'X' ? SteelWall : c == 'Z' ? BrickWall : c - '0';
                ASSERT_EQ(Game.Cave(x, y), expected) << "cave " << number << " at " << x << "," << y;
            }
        EXPECT_EQ(Game.BonusCave, cave.Bonus);
    }
}

TEST_F(LoadCaveTest, RecordsFollowReadingOrder) {
    Game.CaveNumber = 2;
    LoadCave(Game.CaveNumber);
    ASSERT_EQ(Game.Enemies.size(), 1u);
    EXPECT_EQ(Game.Enemies[0].What, Firefly);
    EXPECT_EQ(Game.Cave(Game.Enemies[0].X, Game.Enemies[0].Y), Firefly);

    Game.CaveNumber = 21;
    LoadCave(Game.CaveNumber);
    ASSERT_EQ(Game.GrowingWalls.size(), 2u);
    for (const ObjectRecord& wall : Game.GrowingWalls) {
        EXPECT_EQ(wall.What, 12);
        EXPECT_EQ(wall.Direction, 0);
        EXPECT_EQ(Game.Cave(wall.X, wall.Y), BrickWall);
    }

    Game.CaveNumber = 16;
    LoadCave(Game.CaveNumber);
    ASSERT_EQ(Game.Enemies.size(), 29u);
    for (size_t i = 1; i < Game.Enemies.size(); ++i) {
        const ObjectRecord& before = Game.Enemies[i - 1];
        const ObjectRecord& record = Game.Enemies[i];
        EXPECT_TRUE(before.Y < record.Y || (before.Y == record.Y && before.X < record.X));
        EXPECT_EQ(record.Direction, 0);
    }
    ASSERT_EQ(Game.Amoebas.size(), 1u);
    EXPECT_EQ(Game.Amoebas[0].What, Amoeba);
}

TEST_F(LoadCaveTest, EnchantedWallIsStoredAsItselfButDrawnAsBrick) {
    Game.CaveNumber = 9;
    LoadCave(Game.CaveNumber);
    RedrawCave();
    int walls = 0;
    for (int y = 1; y <= CaveHeight; ++y)
        for (int x = 1; x <= CaveWidth; ++x)
            if (Game.Cave(x, y) == EnchantedWall) {
                ++walls;
                EXPECT_EQ(DrawnAt(x, y), BrickBmp);
            }
    EXPECT_EQ(walls, 8);
}

TEST_F(LoadCaveTest, EveryLoadStartsWithEmptyListsAndADormantWall) {
    Game.CaveNumber = 16;
    LoadCave(Game.CaveNumber);
    Game.Enemies.push_back({1, 1, 2, Firefly});
    Game.GrowingWalls.push_back({1, 1, 0, 12});
    Game.EnchantedWallActive = true;
    Game.EnchantedWallSeconds = 7;
    LoadCave(Game.CaveNumber);  // a restart of the same cave
    EXPECT_EQ(Game.Enemies.size(), 29u);
    EXPECT_EQ(Game.Amoebas.size(), 1u);
    EXPECT_EQ(Game.GrowingWalls.size(), 0u);
    EXPECT_FALSE(Game.EnchantedWallActive);
    EXPECT_EQ(Game.EnchantedWallSeconds, 0);
}

}  // namespace
