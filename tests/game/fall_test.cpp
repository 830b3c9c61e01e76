#include <gtest/gtest.h>

#include "cave_builder.h"
#include "core/state.h"
#include "rules/fall.h"

namespace {

TEST(FallTest, ABoulderAtRestAboveThePlayerStaysButAFallingOneKills) {
    LoadMap({"9999999",
             "9003009",
             "900F009",
             "9999999"});
    FallPass();
    EXPECT_EQ(Region(7, 4)[1], "9003009");
    EXPECT_FALSE(Game.PlayerDead);

    LoadMap({"9999999",
             "9003009",
             "9000009",
             "900F009",
             "9000009",
             "9999999"});
    FallPass();
    EXPECT_EQ(Region(7, 4)[2], "900B009");
    FallPass();
    // The explosion is centred on the player and takes in the boulder.
    EXPECT_EQ(Region(7, 6), (Rows{"9999999", "9000009", "90EEE09", "90EEE09", "90EEE09", "9999999"}));
    EXPECT_TRUE(Game.PlayerDead);
    EXPECT_EQ(Game.Lives, 2);
}

TEST(FallTest, ObjectsRollLeftFirstThenRightAndNeverOutOfTheGrid) {
    LoadMap({"9999999",
             "9003009",
             "9008009",
             "9999999"});
    FallPass();
    EXPECT_EQ(Region(7, 4), (Rows{"9999999", "9000009", "90B8009", "9999999"}));

    LoadMap({"9999999",
             "9013009",
             "9008009",
             "9999999"});
    FallPass();
    EXPECT_EQ(Region(7, 4), (Rows{"9999999", "9010009", "9008B09", "9999999"}));

    // Column 1 has nothing to its left, column 40 nothing to its right.
    LoadMap({"3999999999999999999999999999999999999993",
             "8999999999999999999999999999999999999998"});
    Game.Cave(0, 1) = Empty;
    FallPass();
    EXPECT_EQ(Game.Cave(1, 1), Boulder);
    EXPECT_EQ(Game.Cave(40, 1), Boulder);
    EXPECT_EQ(Game.Cave(0, 2), Empty);
}

TEST(FallTest, WhatAnObjectRollsOffDependsOnItsKind) {
    // Jewels and boulders at rest, brick: both roll. Earth, steel, enchanted wall: neither.
    for (char base : {'2', '3', '8'})
        for (char top : {'2', '3'}) {
            LoadMap({"99999", std::string("90") + top + "09", std::string("90") + base + "09", "99999"});
            FallPass();
            EXPECT_EQ(Game.Cave(3, 2), Empty) << top << " on " << base;
        }
    for (char base : {'1', '9', '4'})
        for (char top : {'2', '3'}) {
            LoadMap({"99999", std::string("90") + top + "09", std::string("90") + base + "09", "99999"});
            FallPass();
            EXPECT_EQ(Game.Cave(3, 2), top - '0') << top << " on " << base;
        }
}

TEST(FallTest, AFallingObjectBelowIsRolledOffOnlyByItsOwnKind) {
    // Row 25 is never visited, so a falling object poked there stays falling.
    const struct {
        int16_t top, below;
        bool rolls;
    } cases[] = {{Boulder, FallingBoulder, true},
                 {Jewel, FallingJewel, true},
                 {Boulder, FallingJewel, false},
                 {Jewel, FallingBoulder, false}};
    for (const auto& c : cases) {
        LoadMap({});
        Game.Cave(5, 24) = c.top;
        Game.Cave(5, 25) = c.below;
        Game.Cave(4, 24) = Empty;
        Game.Cave(4, 25) = Empty;
        FallPass();
        EXPECT_EQ(Game.Cave(5, 24) == Empty, c.rolls) << c.top << " on " << c.below;
        EXPECT_EQ(Game.Cave(4, 25), c.rolls ? c.top : int16_t{Empty});
    }
}

TEST(FallTest, AStackOfFallingBouldersMovesDownTogether) {
    LoadMap({"999",
             "939",
             "939",
             "939",
             "909",
             "909",
             "999"});
    FallPass();
    EXPECT_EQ(Region(3, 7), (Rows{"999", "909", "9B9", "9B9", "9B9", "909", "999"}));
    FallPass();
    // The lowest lands on steel in the second pass and comes to rest there.
    EXPECT_EQ(Region(3, 7), (Rows{"999", "909", "909", "9B9", "9B9", "9B9", "999"}));
    FallPass();
    EXPECT_EQ(Region(3, 7), (Rows{"999", "909", "909", "939", "939", "939", "999"}));
}

TEST(FallTest, LandingSoundsOncePerObject) {
    LoadMap({"9999",
             "9239",
             "9009",
             "9119",
             "9999"});
    FallPass();
    EXPECT_EQ(TimesPlayed(SndPling) + TimesPlayed(SndBoulder), 0);
    FallPass();
    EXPECT_EQ(TimesPlayed(SndPling), 1);
    EXPECT_EQ(TimesPlayed(SndBoulder), 1);
    FallPass();
    EXPECT_EQ(TimesPlayed(SndPling), 1);
    EXPECT_EQ(TimesPlayed(SndBoulder), 1);
}

TEST(FallTest, ARowIsLeftWhereTheCrushKillsButRowsAboveGoOn) {
    LoadMap({"999999999",
             "903000309",
             "900000009",
             "900003009",
             "90F000009",
             "999999999"});
    Game.Cave(3, 4) = FallingBoulder;
    FallPass();
    EXPECT_TRUE(Game.PlayerDead);
    // The boulder right of the crush in the same row did not fall; those above did.
    EXPECT_EQ(Game.Cave(6, 4), Boulder);
    EXPECT_EQ(Game.Cave(3, 3), FallingBoulder);
    EXPECT_EQ(Game.Cave(7, 3), FallingBoulder);
}

TEST(FallTest, FallingObjectsBlowUpEnemiesBelowThem) {
    LoadMap({"9999999",
             "9003009",
             "9000009",
             "9006009",
             "9111119",
             "9999999"});
    FallPass();
    FallPass();
    // Nine jewels; the one right of the boulder's cell is visited later in the same pass
    // and rolls off at once.
    EXPECT_EQ(Region(7, 6), (Rows{"9999999", "9000009", "9022009", "90222J9", "9122219", "9999999"}));
    EXPECT_EQ(Game.Enemies.size(), 0u);

    LoadMap({"9999999",
             "9002009",
             "9000009",
             "9007009",
             "9999999"});
    FallPass();
    FallPass();
    EXPECT_EQ(Region(7, 5), (Rows{"9999999", "9000009", "90EEE09", "90EEE09", "9999999"}));
}

TEST(FallTest, RollingOntoAnEnemySetsItOff) {
    LoadMap({"9999999",
             "9000009",
             "9030009",
             "9783009",
             "9999999"});
    Game.Cave(3, 3) = FallingBoulder;  // a falling boulder rolls off the brick onto the firefly
    FallPass();
    EXPECT_EQ(Game.Enemies.size(), 0u);
    EXPECT_EQ(Region(7, 5), (Rows{"9999999", "9000009", "9EE0009", "9EE3009", "9999999"}));
}

TEST(FallTest, EnchantedWallTurnsFallingObjectsIntoTheOtherKind) {
    LoadMap({"999",
             "929",
             "909",
             "949",
             "909",
             "909",
             "999"});
    FallPass();
    EXPECT_FALSE(Game.EnchantedWallActive);
    FallPass();
    EXPECT_EQ(Region(3, 7), (Rows{"999", "909", "909", "949", "939", "909", "999"}));
    EXPECT_TRUE(Game.EnchantedWallActive);

    // With the cell under the wall taken, the object is lost.
    LoadMap({"999",
             "939",
             "949",
             "919",
             "999"});
    Game.Cave(2, 2) = FallingBoulder;
    FallPass();
    EXPECT_EQ(Region(3, 5), (Rows{"999", "909", "949", "919", "999"}));
    EXPECT_TRUE(Game.EnchantedWallActive);
}

TEST(FallTest, ObjectsLandingInTheLastRowComeToRest) {
    LoadMap({});
    Game.Cave(5, 23) = Boulder;
    Game.Cave(5, 24) = Empty;
    Game.Cave(5, 25) = Empty;
    FallPass();
    EXPECT_EQ(Game.Cave(5, 24), FallingBoulder);
    FallPass();
    EXPECT_EQ(Game.Cave(5, 25), Boulder);
}

TEST(FallTest, ACrushInABonusCaveStartsTheNextCaveAndLeavesItUntouched) {
    LoadMap({"999999",
             "9F0009",
             "900009",
             "900009",
             "9X0009",
             "999999"},
            {.bonus = true});
    UseCustomCave(&LoadedMap());
    // Dig the player to (3, 4) under a falling boulder at (3, 3).
    Game.Cave(2, 2) = Empty;
    Game.PlayerX = 3;
    Game.PlayerY = 4;
    Game.Cave(3, 4) = Player;
    Game.Cave(3, 3) = FallingBoulder;
    Game.CaveNumber = 5;
    FallPass();
    UseCustomCave(nullptr);
    EXPECT_EQ(Game.CaveNumber, 6);
    EXPECT_EQ(Game.Lives, 3);
    EXPECT_FALSE(Game.PlayerDead);
    // The boulder belonged to the cave that was left: none appears in the new one.
    EXPECT_EQ(Region(6, 6), (Rows{"999999", "9F0009", "900009", "900009", "990009", "999999"}));
}

TEST(CaveStepTest, PausedOnlyTheCountersMove) {
    LoadMap({"99999",
             "90309",
             "90009",
             "97009",
             "99999"});
    Game.Paused = true;
    const Rows before = Region(5, 5);
    for (int frame = 0; frame < 30; ++frame) CaveStep();
    EXPECT_EQ(Region(5, 5), before);
    EXPECT_EQ(Game.AmoebaFrame, 0);  // 30 steps of a six-step counter
    EXPECT_EQ(Game.ExplosionTimer, 26);
    EXPECT_EQ(Game.AmoebaTicks, 26);  // both stop just above the values the rules compare against
    Game.Paused = false;
    CaveStep();
    EXPECT_NE(Region(5, 5), before);
}

}  // namespace
