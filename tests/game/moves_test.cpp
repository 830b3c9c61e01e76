#include <gtest/gtest.h>

#include "cave_builder.h"
#include "core/caves.h"
#include "core/state.h"
#include "rules/moves.h"

namespace {

TEST(MoveTest, DiggingCollectingAndTheEdgesOfTheGrid) {
    LoadMap({"X1029999",
             "99999999"});
    Game.Cave(1, 1) = ExitDoor;
    Game.Cave(3, 1) = Player;
    Game.PlayerX = 3;
    Game.PlayerY = 1;
    MoveUp();  // row 1 is the top row
    EXPECT_EQ(Game.PlayerY, 1);
    MoveRight();
    EXPECT_EQ(Region(8, 1)[0], "D10F9999");
    EXPECT_EQ(Game.JewelsCollected, 1);
    EXPECT_EQ(TimesPlayed(SndStep), 1);
    MoveLeft();
    MoveLeft();
    EXPECT_EQ(Game.PlayerX, 2);
    EXPECT_EQ(Region(8, 1)[0], "DF009999");

    // Column 40 is the last: no move right from there.
    LoadMap({"9999999999999999999999999999999999999990"});
    Game.Cave(40, 1) = Player;
    Game.PlayerX = 40;
    Game.PlayerY = 1;
    MoveRight();
    EXPECT_EQ(Game.PlayerX, 40);
    EXPECT_EQ(Game.Cave(0, 2), Empty);
}

TEST(MoveTest, BouldersArePushedSidewaysIntoEmptyCellsOnly) {
    for (char beyond : {'1', '2', '8', '3', '9'}) {
        LoadMap({"999999", std::string("9F3") + beyond + "09", "999999"});
        MoveRight();
        EXPECT_EQ(Game.PlayerX, 2) << "beyond: " << beyond;
        EXPECT_EQ(Game.Cave(3, 2), Boulder);
    }
    LoadMap({"999999",
             "903F09",
             "999999"});
    MoveLeft();
    EXPECT_EQ(Region(6, 3)[1], "93F009");

    // Never up or down, whatever lies beyond.
    LoadMap({"999",
             "909",
             "939",
             "9F9",
             "999"});
    MoveUp();
    EXPECT_EQ(Region(3, 5), (Rows{"999", "909", "939", "9F9", "999"}));

    // A boulder in column 1 or 40 is never pushed out of the grid.
    LoadMap({"3F99999999999999999999999999999999999F3"});
    Game.Cave(38, 1) = Player;
    Game.Cave(2, 1) = Player;
    Game.Cave(39, 1) = Boulder;
    Game.Cave(40, 1) = Boulder;
    Game.PlayerX = 2;
    MoveLeft();
    EXPECT_EQ(Game.Cave(1, 1), Boulder);
    EXPECT_EQ(Game.PlayerX, 2);
}

TEST(MoveTest, FallingJewelsAreCollectedAndFallingBouldersTakenOverFromEverySide) {
    for (int direction = 0; direction < 4; ++direction) {
        LoadMap({"99999",
                 "90009",
                 "90F09",
                 "90009",
                 "99999"});
        const int dx[] = {-1, 1, 0, 0};
        const int dy[] = {0, 0, -1, 1};
        Game.Cave(3 + dx[direction], 3 + dy[direction]) = FallingJewel;
        void (*moves[])() = {MoveLeft, MoveRight, MoveUp, MoveDown};
        moves[direction]();
        EXPECT_EQ(Game.JewelsCollected, 1) << direction;
        EXPECT_EQ(Game.Cave(3 + dx[direction], 3 + dy[direction]), Player);
    }
    LoadMap({"99999",
             "90F09",
             "99999"});
    Game.Cave(4, 2) = FallingBoulder;
    MoveRight();
    EXPECT_EQ(Region(5, 3)[1], "900F9");
}

TEST(MoveTest, CreaturesWallsAndTheClosedExitBlock) {
    for (char blocker : {'4', '5', '6', '7', '8', '9', 'X'}) {
        LoadMap({"9999", std::string("9F") + blocker + "9", "9999"});
        MoveRight();
        EXPECT_EQ(Game.PlayerX, 2) << blocker;
    }
}

TEST(MoveTest, TheOpenExitFinishesTheCaveAndStartsTheNext) {
    LoadMap({"99999",
             "9FX09",
             "99999"});
    Game.CaveNumber = 3;
    Game.CaveTime = 20;
    Game.Cave(3, 2) = ExitDoor;
    MoveRight();
    EXPECT_EQ(Game.Score, 21);
    EXPECT_EQ(Game.CaveNumber, 4);
    EXPECT_EQ(Game.CaveDescription, CaveTable[3].Description);
    EXPECT_EQ(Game.BirthCounter, 0);
    EXPECT_FALSE(Game.ExitReached);

    // A bonus cave moves on by its own start.
    LoadMap({"99999", "9FX09", "99999"}, {.bonus = true});
    Game.CaveNumber = 5;
    Game.Cave(3, 2) = ExitDoor;
    MoveRight();
    EXPECT_EQ(Game.CaveNumber, 6);
}

TEST(MoveTest, TheViewFollowsThePlayerInsideItsBands) {
    std::vector<std::string> map(20, "9" + std::string(38, '0') + "9");
    map[0] = std::string(40, '9');
    map[1][7] = 'F';  // column 8, row 2
    LoadMap(map);
    std::vector<int16_t> seen;
    for (int step = 0; step < 22; ++step) {
        MoveRight();
        seen.push_back(Game.ScrollX);
    }
    EXPECT_EQ(Game.PlayerX, 30);
    for (int column = 9; column <= 25; ++column) EXPECT_EQ(seen[static_cast<size_t>(column - 9)], -32 * (column - 8));
    EXPECT_EQ(seen.back(), -544);
    for (int step = 0; step < 5; ++step) MoveLeft();
    EXPECT_EQ(Game.PlayerX, 25);
    EXPECT_EQ(Game.ScrollX, -512);

    for (int step = 0; step < 18; ++step) MoveDown();
    EXPECT_EQ(Game.PlayerY, 20);
    EXPECT_EQ(Game.ScrollY, -288);
    for (int step = 0; step < 10; ++step) MoveUp();
    EXPECT_EQ(Game.PlayerY, 10);
    EXPECT_EQ(Game.ScrollY, 0);

    LoadMap(map, {.bonus = true});
    for (int step = 0; step < 20; ++step) {
        MoveRight();
        MoveDown();
    }
    EXPECT_EQ(Game.ScrollX, -544);  // pinned at the far edge even in a bonus cave
    LoadMap(map, {.bonus = true});
    for (int step = 0; step < 10; ++step) MoveRight();
    EXPECT_EQ(Game.ScrollX, 0);
}

}  // namespace
