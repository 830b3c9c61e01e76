#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "cave_builder.h"
#include "core/state.h"
#include "rules/enemies.h"
#include "rules/fall.h"
#include "rules/growth.h"

namespace {

struct Position {
    int x, y;
    int16_t direction;
};

void ExpectEnemyAt(size_t index, const Position& expected) {
    const ObjectRecord& enemy = Game.Enemies.at(index);
    EXPECT_EQ(enemy.X, expected.x);
    EXPECT_EQ(enemy.Y, expected.y);
    EXPECT_EQ(enemy.Direction, expected.direction);
    EXPECT_EQ(Game.Cave(expected.x, expected.y), enemy.What);
}

TEST(EnemyTest, InOpenSpaceAnEnemyRunsAClockwiseTwoByTwoLoop) {
    LoadMap({"9999999",
             "9000009",
             "9000009",
             "9007009",
             "9000009",
             "9000009",
             "9999999",
             "9F99999"});
    // First frame: it faces up, its right side is free, so it turns right and steps.
    const Position loop[] = {{5, 4, DirRight}, {5, 5, DirDown}, {4, 5, DirLeft}, {4, 4, DirUp}, {5, 4, DirRight}};
    for (const Position& expected : loop) {
        MoveEnemies(0);
        SCOPED_TRACE("step to (" + std::to_string(expected.x) + ", " + std::to_string(expected.y) + ")");
        ExpectEnemyAt(0, expected);
        EXPECT_EQ(CellsHolding(Firefly), 1);
    }
}

TEST(EnemyTest, AtADeadEndTheEnemyTurnsBackAndStepsBackInTheSameFrame) {
    LoadMap({"999999",
             "907009",
             "999999",
             "9F9999"});
    MoveEnemies(0);
    ExpectEnemyAt(0, {4, 2, DirRight});
    MoveEnemies(0);
    ExpectEnemyAt(0, {5, 2, DirRight});
    MoveEnemies(0);
    ExpectEnemyAt(0, {4, 2, DirLeft});
    EXPECT_EQ(Game.Cave(5, 2), Empty);
}

TEST(EnemyTest, BoxedInEnemyKeepsItsDirectionAndStays) {
    // The firefly is shut in by jewel, earth, brick and an explosion cell; the butterfly
    // by a resting boulder, brick, steel and earth.
    LoadMap({"99999999",
             "99299399",
             "91708699",
             "99899199",
             "99999999",
             "9F999999"});
    Game.Cave(4, 3) = Explosion;
    Game.Enemies[1].Direction = DirLeft;
    MoveEnemies(0);
    ExpectEnemyAt(0, {3, 3, DirUp});  // a fresh enemy faces up before it turns
    ExpectEnemyAt(1, {6, 3, DirLeft});
    EXPECT_EQ(Game.Enemies.size(), 2u);
    EXPECT_EQ(Game.Cave(4, 3), Explosion);
}

TEST(EnemyTest, PlayerDiagonallyNextToAnEnemyIsSafe) {
    LoadMap({"99999",
             "900F9",
             "90709",
             "90009",
             "99999"});
    MoveEnemies(0);
    ExpectEnemyAt(0, {4, 3, DirRight});
    EXPECT_FALSE(Game.PlayerDead);
    EXPECT_EQ(Game.Cave(4, 2), Player);
    EXPECT_EQ(Game.Lives, 3);
}

// A firefly at (3, 3), fresh (so facing up), with the four sides given: right (4, 3),
// ahead (3, 2), left (2, 3) and back (3, 4).
struct Surroundings {
    const char* name;
    char right, ahead, left, back;
};

void LoadFireflyWith(const Surroundings& sides, const MapOptions& options = {}) {
    LoadMap({"99999",
             std::string("99") + sides.ahead + "99",
             std::string("9") + sides.left + "7" + sides.right + "9",
             std::string("99") + sides.back + "99",
             "99999"},
            options);
}

TEST(EnemyTest, PlayerOnAnySideIsStruckOnceTheTurnPointsAtHim) {
    const Surroundings cases[] = {
        {"right, with ahead free", 'F', '0', '9', '9'},
        {"ahead", '9', 'F', '0', '0'},
        {"left", '9', '9', 'F', '0'},
        {"behind, all other sides blocked", '9', '9', '9', 'F'},
    };
    for (const Surroundings& sides : cases) {
        SCOPED_TRACE(sides.name);
        LoadFireflyWith(sides);
        Game.ExplosionTimer = 7;
        MoveEnemies(0);
        EXPECT_TRUE(Game.PlayerDead);
        EXPECT_EQ(Game.Lives, 2);
        EXPECT_EQ(Game.ExplosionTimer, 0);
        EXPECT_EQ(Game.Enemies.size(), 0u);
        EXPECT_EQ(TimesPlayed(SndExplo), 1);
        // The explosion is centred on the player and takes in the firefly's cell.
        EXPECT_EQ(Game.Cave(Game.PlayerX, Game.PlayerY), Explosion);
        EXPECT_EQ(Game.Cave(3, 3), Explosion);
    }
}

TEST(EnemyTest, FreeSideEarlierInTheTurnOrderWinsOverThePlayer) {
    struct Case {
        Surroundings sides;
        Position moved;
    };
    const Case cases[] = {
        {{"right free, player ahead", '0', 'F', '9', '9'}, {4, 3, DirRight}},
        {{"right free, player left", '0', '9', 'F', '9'}, {4, 3, DirRight}},
        {{"ahead free, player behind", '9', '0', '9', 'F'}, {3, 2, DirUp}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sides.name);
        LoadFireflyWith(c.sides);
        MoveEnemies(0);
        EXPECT_FALSE(Game.PlayerDead);
        EXPECT_EQ(Game.Cave(Game.PlayerX, Game.PlayerY), Player);
        ExpectEnemyAt(0, c.moved);
    }
}

TEST(EnemyTest, StrikeInABonusCaveCostsNoLifeAndDoesNotRestartTheCave) {
    LoadFireflyWith({"right", 'F', '9', '9', '9'}, MapOptions{.bonus = true});
    MoveEnemies(0);
    EXPECT_TRUE(Game.PlayerDead);
    EXPECT_EQ(Game.Lives, 3);
    EXPECT_EQ(TimesPlayed(SndStart), 0);
    EXPECT_EQ(Region(5, 5), (Rows{"99999",
                                  "99999",
                                  "99EE9",
                                  "99999",
                                  "99999"}));
}

TEST(EnemyTest, AmoebaCountsOnlyOnTheFourSides) {
    LoadMap({"99999",
             "95009",
             "90009",
             "9F009",
             "99999"});
    // The amoeba is at (2, 2); look at it from each side, then from each diagonal.
    EXPECT_TRUE(AmoebaAdjacent(2, 1));
    EXPECT_TRUE(AmoebaAdjacent(3, 2));
    EXPECT_TRUE(AmoebaAdjacent(2, 3));
    EXPECT_TRUE(AmoebaAdjacent(1, 2));
    for (const auto& [x, y] : {std::pair{1, 1}, {3, 1}, {1, 3}, {3, 3}})
        EXPECT_EQ(AmoebaAdjacent(static_cast<int16_t>(x), static_cast<int16_t>(y)), false) << x << ", " << y;
    EXPECT_FALSE(AmoebaAdjacent(4, 2));
}

TEST(EnemyTest, ButterflyTouchingTheAmoebaExplodesIntoJewelsBeforeItMoves) {
    LoadMap({"9999999",
             "9900009",
             "9065059",
             "9000009",
             "9999F99"});
    for (ObjectRecord& cell : Game.Amoebas) cell.Direction = AmoebaEnclosed;
    Game.ExplosionTimer = 5;
    MoveEnemies(0);
    EXPECT_EQ(Region(7, 5), (Rows{"9999999",
                                  "9922009",
                                  "9222059",
                                  "9222009",
                                  "9999F99"}));
    EXPECT_EQ(Game.Enemies.size(), 0u);
    EXPECT_EQ(Game.ExplosionTimer, 0);
    EXPECT_EQ(TimesPlayed(SndEx2), 1);
    // The amoeba cell inside the block is gone with its record; the other starts anew.
    ASSERT_EQ(Game.Amoebas.size(), 1u);
    EXPECT_EQ(Game.Amoebas[0].X, 6);
    EXPECT_EQ(Game.Amoebas[0].Direction, AmoebaNew);
}

TEST(EnemyTest, FireflyUnderAnObjectThatJustFellAboveItExplodesAtTheStartOfItsTurn) {
    LoadMap({"9999999",
             "9003009",
             "9000009",
             "9007009",
             "9000009",
             "9999999",
             "9F99999"});
    // The fall pass moves the boulder to (4, 3), above the firefly but not onto it;
    // the firefly, whose right is free, must not get away.
    CaveStep();
    EXPECT_EQ(Region(7, 6), (Rows{"9999999",
                                  "9000009",
                                  "90EEE09",
                                  "90EEE09",
                                  "90EEE09",
                                  "9999999"}));
    EXPECT_EQ(Game.Enemies.size(), 0u);
    EXPECT_EQ(TimesPlayed(SndExplo), 1);
}

TEST(EnemyTest, WhenTheFirstEnemyExplodesNoOtherMovesThatFrame) {
    LoadMap({"9999999999",
             "9000000009",
             "9070000709",
             "9000000009",
             "9999999999",
             "9F99999999"});
    Game.Cave(3, 2) = FallingJewel;
    MoveEnemies(0);
    ASSERT_EQ(Game.Enemies.size(), 1u);
    ExpectEnemyAt(0, {8, 3, DirNone});  // not even turned

    MoveEnemies(0);
    ExpectEnemyAt(0, {9, 3, DirRight});
}

TEST(EnemyTest, EnemiesMoveInListOrderIntoCellsLeftEarlierInThePass) {
    // The upper firefly comes first in the list: it moves right, and the lower one,
    // boxed in until then, moves up into the cell it left.
    LoadMap({"9999",
             "9709",
             "9799",
             "9999",
             "9F99"});
    MoveEnemies(0);
    EXPECT_EQ(Region(4, 3), (Rows{"9999",
                                  "9779",
                                  "9099"}));
    ExpectEnemyAt(0, {3, 2, DirRight});
    ExpectEnemyAt(1, {2, 2, DirUp});
}

}  // namespace
