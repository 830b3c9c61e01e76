#include <gtest/gtest.h>

#include <string>

#include "cave_builder.h"
#include "core/state.h"
#include "rules/explode.h"
#include "rules/fall.h"
#include "rules/growth.h"
#include "shell/frame.h"

namespace {

std::string Played(Sound sound) { return "Play " + std::to_string(sound); }

TEST(ExplosionTest, FireflyInASteelCorridorChangesOnlyTheCentreAndNonSteelNeighbours) {
    LoadMap({"9999999",
             "9117229",
             "9999999",
             "9F99999"});
    Explode(4, 2, Firefly, false);
    EXPECT_EQ(Region(7, 4), (Rows{"9999999",
                                  "91EEE29",
                                  "9999999",
                                  "9F99999"}));
    EXPECT_EQ(Game.Enemies.size(), 0u);
    EXPECT_EQ(TimesPlayed(SndExplo), 1);
    EXPECT_EQ(TimesPlayed(SndEx2), 0);
    EXPECT_FALSE(Game.PlayerDead);
    EXPECT_EQ(Game.Lives, 3);
}

TEST(ExplosionTest, ButterflyNextToThePlayerBecomesThePlayersExplosion) {
    LoadMap({"99999",
             "90009",
             "9F609",
             "90009",
             "99999"});
    Explode(3, 3, Jewel, false);
    // The jewels are overwritten by the player's explosion: none is left.
    EXPECT_EQ(Region(5, 5), (Rows{"99999",
                                  "9EEE9",
                                  "9EEE9",
                                  "9EEE9",
                                  "99999"}));
    EXPECT_TRUE(Game.PlayerDead);
    EXPECT_EQ(Game.Lives, 2);
    EXPECT_EQ(TestSound().log, (std::vector<std::string>{Played(SndEx2), Played(SndExplo)}));
    EXPECT_EQ(Game.Enemies.size(), 0u);
}

TEST(ExplosionTest, ButterflyLeavesNineRestingJewelsThatFallWhereThereIsRoom) {
    LoadMap({"9999999",
             "9111119",
             "9161F19",
             "9111119",
             "9010009",
             "9999999"});
    Explode(3, 3, Jewel, false);
    EXPECT_EQ(Region(7, 6), (Rows{"9999999",
                                  "9222119",
                                  "9222F19",
                                  "9222119",
                                  "9010009",
                                  "9999999"}));
    EXPECT_FALSE(Game.PlayerDead);
    EXPECT_EQ(Game.Lives, 3);
    EXPECT_EQ(TimesPlayed(SndEx2), 1);
    EXPECT_EQ(TimesPlayed(SndExplo), 0);

    // The middle column rests on earth; the outer columns drop one cell, and the middle
    // jewels above cannot roll because their lower sides are taken.
    FallPass();
    EXPECT_EQ(Region(7, 6), (Rows{"9999999",
                                  "9020119",
                                  "9J2JF19",
                                  "9J2J119",
                                  "9J1J009",
                                  "9999999"}));
}

TEST(ExplosionTest, ButterflyInACornerLeavesJewelsOnlyWhereNoSteelStands) {
    LoadMap({"999999",
             "961109",
             "911109",
             "9000F9",
             "999999"});
    Explode(2, 2, Jewel, false);
    EXPECT_EQ(Region(6, 5), (Rows{"999999",
                                  "922109",
                                  "922109",
                                  "9000F9",
                                  "999999"}));
    EXPECT_EQ(CellsHolding(Jewel), 4);
}

TEST(ExplosionTest, PlayerExplosionInABonusCaveCostsNoLifeAndKeepsTheHighScore) {
    LoadMap({"99999",
             "90F09",
             "99999"},
            MapOptions{.bonus = true});
    Game.Lives = 1;
    Game.Score = 700;
    Game.HighScore = 100;
    KillPlayer();
    EXPECT_EQ(Game.Lives, 1);
    EXPECT_EQ(Game.HighScore, 100);
    EXPECT_TRUE(Game.PlayerDead);
    EXPECT_EQ(TimesPlayed(SndExplo), 1);
    EXPECT_EQ(Region(5, 3), (Rows{"99999", "9EEE9", "99999"}));
}

TEST(ExplosionTest, OnlyTheExplosionThatTakesTheLastLifeRaisesTheHighScore) {
    LoadMap({"99999",
             "90F09",
             "99999"});
    Game.Lives = 2;
    Game.Score = 700;
    Game.HighScore = 100;
    KillPlayer();
    EXPECT_EQ(Game.Lives, 1);
    EXPECT_EQ(Game.HighScore, 100);

    KillPlayer();
    EXPECT_EQ(Game.Lives, 0);
    EXPECT_EQ(Game.HighScore, 700);
}

TEST(ExplosionTest, EveryExplosionStartsTheSharedTimerAgain) {
    LoadMap({"99999",
             "90F79",
             "99999"});
    Game.ExplosionTimer = 6;
    Explode(4, 2, Firefly, false);
    EXPECT_EQ(Game.ExplosionTimer, 0);
    Game.ExplosionTimer = 3;
    KillPlayer();
    EXPECT_EQ(Game.ExplosionTimer, 0);
}

TEST(ExplosionTest, TwoExplosionsThreeFramesApartVanishInTheSameFrame) {
    const Rows cave{"999999999999",
                    "900090009F09",
                    "900090009009",
                    "900090009009",
                    "999999999999"};
    const Rows bothBlocks{"999999999999",
                          "9EEE9EEE9F09",
                          "9EEE9EEE9009",
                          "9EEE9EEE9009",
                          "999999999999"};
    LoadMap(cave);
    Explode(3, 3, Firefly, false);
    for (int frame = 0; frame < 3; ++frame) GameFrame();
    Explode(7, 3, Firefly, false);

    // On its own the first block would have gone in its tenth frame (the seventh of
    // these); the shared timer keeps it until the second block goes.
    for (int frame = 1; frame <= 9; ++frame) {
        GameFrame();
        ASSERT_EQ(Region(12, 5), bothBlocks) << "frame " << frame << " after the second explosion";
    }
    GameFrame();
    EXPECT_EQ(Region(12, 5), cave);
}

TEST(ExplosionTest, CoveredEnemyLosesItsRecordAndNeverMovesAgain) {
    LoadMap({"9999999999",
             "9000000009",
             "9077000709",
             "9000000009",
             "9999999999",
             "9F99999999"});
    Explode(3, 3, Firefly, false);
    ASSERT_EQ(Game.Enemies.size(), 1u);
    EXPECT_EQ(Game.Enemies[0].X, 8);

    // A record left behind for the firefly at (4, 3) would bring it back once the
    // explosion has cleared.
    for (int frame = 1; frame <= 15; ++frame) {
        GameFrame();
        ASSERT_EQ(CellsHolding(Firefly), 1) << "frame " << frame;
    }
    const ObjectRecord& survivor = Game.Enemies[0];
    EXPECT_EQ(Game.Cave(survivor.X, survivor.Y), Firefly);
}

// Amoeba at (2, 2) and (3, 2) inside the block of (3, 3), and at (7, 2) outside it.
const Rows AmoebaNearFirefly{"99999999",
                             "95500059",
                             "90700009",
                             "90000F09",
                             "99999999"};

void EncloseEveryAmoebaCell() {
    for (ObjectRecord& cell : Game.Amoebas) cell.Direction = AmoebaEnclosed;
}

TEST(ExplosionTest, AmoebaRecordsAreDroppedOnlyWhenTheExplosionAsksForIt) {
    // Without the flag (a crushed enemy) the covered cells keep their records as they were.
    LoadMap(AmoebaNearFirefly);
    EncloseEveryAmoebaCell();
    Explode(3, 3, Firefly, false);
    EXPECT_EQ(Region(8, 3), (Rows{"99999999", "9EEE0059", "9EEE0009"}));
    ASSERT_EQ(Game.Amoebas.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(Game.Amoebas[i].Direction, AmoebaEnclosed) << "record " << i;

    // With it (an enemy touching the amoeba) they go, and the rest start anew.
    LoadMap(AmoebaNearFirefly);
    EncloseEveryAmoebaCell();
    Explode(3, 3, Firefly, true);
    EXPECT_EQ(Region(8, 3), (Rows{"99999999", "9EEE0059", "9EEE0009"}));
    ASSERT_EQ(Game.Amoebas.size(), 1u);
    const ObjectRecord& survivor = Game.Amoebas[0];
    EXPECT_EQ(survivor.X, 7);
    EXPECT_EQ(survivor.Y, 2);
    EXPECT_EQ(survivor.Direction, AmoebaNew);
}

TEST(ExplosionTest, ExplosionCentredInTheLastColumnWritesNothingBeyondIt) {
    // The player stands in column 40, next to earth in column 1 of the rows below.
    const std::string open(37, '0');
    LoadMap({std::string(40, '9'),
             "1" + open + "1F",
             "1" + open + "11",
             "1" + open + "09"});
    ASSERT_EQ(Game.PlayerX, 40);
    Explode(40, 2, Player, false);

    // Cell (41, y) would be the first cell of the next row in the grid's layout.
    for (int y = 1; y <= 4; ++y) EXPECT_EQ(Game.Cave(0, y), Empty) << "row " << y;
    EXPECT_EQ(Region(40, 4), (Rows{std::string(40, '9'),
                                   "1" + open + "EE",
                                   "1" + open + "EE",
                                   "1" + open + "09"}));
    EXPECT_TRUE(Game.PlayerDead);
    EXPECT_EQ(Game.Lives, 2);
}

}  // namespace
