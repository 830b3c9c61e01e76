#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "cave_builder.h"
#include "core/state.h"
#include "rules/bookkeeping.h"
#include "rules/fall.h"
#include "rules/growth.h"
#include "rules/moves.h"
#include "shell/frame.h"

namespace {

void RunCaveSteps(int frames) {
    for (int frame = 0; frame < frames; ++frame) CaveStep();
}

// Was `first` called on the sound device before `second`?
bool SoundCallBefore(const std::string& first, const std::string& second) {
    const auto& log = TestSound().log;
    const auto a = std::find(log.begin(), log.end(), first);
    const auto b = std::find(log.begin(), log.end(), second);
    return a != log.end() && b != log.end() && a < b;
}

std::string Call(const char* verb, Sound sound) { return std::string(verb) + " " + std::to_string(sound); }

// ---- Amoeba ----

const Rows AmoebaInEarth{"99999",
                         "91119",
                         "91519",
                         "91119",
                         "99999",
                         "9F999"};

TEST(AmoebaTest, WithEarthOnAllSidesItGrowsUpFirst) {
    LoadMap(AmoebaInEarth);
    GrowAmoeba();  // a loaded cell only wakes up at its first step
    EXPECT_EQ(Region(5, 5), (Rows{"99999", "91119", "91519", "91119", "99999"}));
    EXPECT_EQ(Game.Amoebas[0].Direction, AmoebaActive);

    GrowAmoeba();
    EXPECT_EQ(Region(5, 5), (Rows{"99999", "91519", "91519", "91119", "99999"}));
    ASSERT_EQ(Game.Amoebas.size(), 2u);
    EXPECT_EQ(Game.Amoebas[0].Direction, AmoebaActive);
    const ObjectRecord& grown = Game.Amoebas[1];
    EXPECT_EQ(grown.X, 3);
    EXPECT_EQ(grown.Y, 2);
    EXPECT_EQ(grown.Direction, AmoebaNew);
    EXPECT_EQ(grown.What, Amoeba);
    EXPECT_EQ(TimesPlayed(SndAmoe), 2);
}

TEST(AmoebaTest, EachCellWaitsOneGrowthStepBeforeItGrows) {
    LoadMap(AmoebaInEarth);
    // Growth steps come every 25 frames: the loaded cell grows first at frame 50.
    RunCaveSteps(49);
    EXPECT_EQ(Region(5, 5), (Rows{"99999", "91119", "91519", "91119", "99999"}));
    RunCaveSteps(1);
    EXPECT_EQ(Region(5, 5), (Rows{"99999", "91519", "91519", "91119", "99999"}));
    // At frame 75 the old cell grows again (downwards now); the new one only wakes up.
    RunCaveSteps(25);
    EXPECT_EQ(Region(5, 5), (Rows{"99999", "91519", "91519", "91519", "99999"}));
    EXPECT_EQ(TimesPlayed(SndAmoe), 3);
}

TEST(AmoebaTest, SingleEnclosedCellTurnsIntoAJewelInTheNextFrame) {
    // Boulder above, brick to the left, jewel to the right, steel below.
    LoadMap({"99999",
             "99399",
             "98529",
             "99999",
             "9F999"});
    GrowAmoeba();
    GrowAmoeba();  // its first try finds no room
    EXPECT_EQ(Game.Amoebas[0].Direction, AmoebaEnclosed);
    EXPECT_EQ(Game.Cave(3, 3), Amoeba);

    CaveStep();
    EXPECT_EQ(Region(5, 4), (Rows{"99999", "99399", "98229", "99999"}));
    EXPECT_EQ(Game.Amoebas.size(), 0u);
    EXPECT_EQ(TimesPlayed(SndAmoe2), 1);
    EXPECT_TRUE(SoundCallBefore(Call("Stop", SndAmoe), Call("Play", SndAmoe2)));
}

TEST(AmoebaTest, NeverGrowsIntoThePlayerOrAnExplosionAndDoesNotHurtHim) {
    LoadMap({"99999",
             "99F99",
             "91509",
             "99999"});
    Game.Cave(3, 4) = Explosion;
    // Four growth steps: wake up, grow left into earth, grow right into empty space,
    // then nothing is left but the player above and the explosion below.
    RunCaveSteps(100);
    EXPECT_EQ(Region(5, 4), (Rows{"99999", "99F99", "95559", "99E99"}));
    EXPECT_FALSE(Game.PlayerDead);
    EXPECT_EQ(Game.Lives, 3);
}

// A block of amoeba filling rows 2 to 6 of the cave (38 cells each) and ten cells of
// row 7: 200 cells. With `room`, one empty cell follows in row 7.
Rows TwoHundredAmoebaCells(bool room) {
    Rows rows{std::string(40, '9')};
    for (int row = 0; row < 5; ++row) rows.push_back("9" + std::string(38, '5') + "9");
    std::string last(11, '5');
    last[0] = '9';
    last += room ? '0' : '9';
    rows.push_back(last);
    rows.push_back("9");
    rows.push_back("9F");
    return rows;
}

TEST(AmoebaTest, GrowthStepReaching201CellsTurnsThemAllIntoBouldersInTheNextFrame) {
    LoadMap(TwoHundredAmoebaCells(true));
    ASSERT_EQ(Game.Amoebas.size(), 200u);
    RunCaveSteps(50);  // the second growth step takes the one empty cell
    EXPECT_EQ(Game.Cave(12, 7), Amoeba);
    EXPECT_EQ(Game.Amoebas.size(), 201u);
    EXPECT_EQ(CellsHolding(Boulder), 0);

    CaveStep();
    EXPECT_EQ(CellsHolding(Boulder), 201);
    EXPECT_EQ(CellsHolding(Amoeba), 0);
    EXPECT_EQ(Game.Amoebas.size(), 0u);
    EXPECT_EQ(TimesPlayed(SndBoulder), 1);
    EXPECT_EQ(TimesPlayed(SndAmoe2), 0);
    EXPECT_TRUE(SoundCallBefore(Call("Stop", SndAmoe), Call("Play", SndBoulder)));
}

TEST(AmoebaTest, ExactlyTwoHundredEnclosedCellsTurnIntoJewels) {
    LoadMap(TwoHundredAmoebaCells(false));
    RunCaveSteps(50);  // the second growth step finds every cell enclosed
    EXPECT_EQ(CellsHolding(Amoeba), 200);

    CaveStep();
    EXPECT_EQ(CellsHolding(Jewel), 200);
    EXPECT_EQ(CellsHolding(Amoeba), 0);
    EXPECT_EQ(Game.Amoebas.size(), 0u);
    EXPECT_EQ(TimesPlayed(SndAmoe2), 1);
    EXPECT_EQ(TimesPlayed(SndBoulder), 0);
}

// ---- Enchanted wall ----

// A dormant enchanted wall across row 3; the object is placed at (3, 2) by each test.
Rows WallWithBelow(char below) {
    return {"99999",
            "90009",
            "94449",
            std::string("90") + below + "09",
            "99999",
            "9F999"};
}

TEST(EnchantedWallTest, FallingBoulderThroughAnActiveWallComesOutAsARestingJewel) {
    LoadMap(WallWithBelow('0'));
    Game.EnchantedWallActive = true;
    Game.EnchantedWallSeconds = 4;
    Game.Cave(3, 2) = FallingBoulder;
    FallPass();
    EXPECT_EQ(Region(5, 5), (Rows{"99999", "90009", "94449", "90209", "99999"}));
    // Its time runs on from where it was.
    EXPECT_TRUE(Game.EnchantedWallActive);
    EXPECT_EQ(Game.EnchantedWallSeconds, 4);
}

TEST(EnchantedWallTest, ObjectThroughTheWallIsLostWhenTheCellBelowIsFilled) {
    LoadMap(WallWithBelow('1'));
    Game.EnchantedWallActive = true;
    Game.Cave(3, 2) = FallingBoulder;
    FallPass();
    EXPECT_EQ(Region(5, 5), (Rows{"99999", "90009", "94449", "90109", "99999"}));
    EXPECT_EQ(CellsHolding(Jewel), 0);
}

TEST(EnchantedWallTest, FallingJewelWakesADormantWallAndComesOutAsABoulder) {
    LoadMap(WallWithBelow('0'));
    ASSERT_FALSE(Game.EnchantedWallActive);
    Game.Cave(3, 2) = FallingJewel;
    FallPass();
    EXPECT_EQ(Region(5, 5), (Rows{"99999", "90009", "94449", "90309", "99999"}));
    EXPECT_TRUE(Game.EnchantedWallActive);
}

// A resting boulder and a resting jewel, each on an enchanted-wall cell with free
// space on both lower sides.
const Rows ObjectsOnWall{"9999999",
                         "9030209",
                         "9040409",
                         "9000009",
                         "9999999",
                         "9F99999"};

TEST(EnchantedWallTest, ObjectsAtRestOnTheWallStayThere) {
    LoadMap(ObjectsOnWall);
    for (int frame = 0; frame < 3; ++frame) FallPass();
    EXPECT_EQ(Region(7, 5), (Rows{"9999999", "9030209", "9040409", "9000009", "9999999"}));
    EXPECT_FALSE(Game.EnchantedWallActive);
}

TEST(EnchantedWallTest, ExpiredWallIsBrickThatObjectsRollOff) {
    LoadMap(ObjectsOnWall);
    ExpireEnchantedWall();
    FallPass();
    EXPECT_EQ(Region(7, 5), (Rows{"9999999", "9000009", "9B8J809", "9000009", "9999999"}));
    EXPECT_FALSE(Game.EnchantedWallActive);
}

// ---- Growing wall ----

TEST(GrowingWallTest, WithItsLeftBlockedItFillsTheEmptyStretchToItsRightInOnePass) {
    LoadMap({"9999999999",
             "98Z0000019",
             "9999999999",
             "9F99999999"});
    FallPass();
    // The stretch ends at the earth in column 9, which the wall does not take.
    EXPECT_EQ(Region(10, 2)[1], "9888888819");
    EXPECT_EQ(Game.GrowingWalls.size(), 6u);
}

TEST(GrowingWallTest, ToTheLeftItAdvancesOneCellPerFrame) {
    LoadMap({"9999999",
             "9000Z99",
             "9999999",
             "9F99999"});
    const std::string afterFrame[] = {"9008899", "9088899", "9888899", "9888899"};
    for (const std::string& row : afterFrame) {
        FallPass();
        EXPECT_EQ(Region(7, 2)[1], row);
    }
}

TEST(GrowingWallTest, OnceItsLeftIsWallItTurnsRightInTheNextFrame) {
    LoadMap({"9999999",
             "90Z0009",
             "9999999",
             "9F99999"});
    FallPass();
    EXPECT_EQ(Region(7, 2)[1], "9880009");
    FallPass();
    EXPECT_EQ(Region(7, 2)[1], "9888889");
}

TEST(GrowingWallTest, CellEmptiedOnItsLeftIsTakenInTheNextFrame) {
    LoadMap({"99999",
             "9F1Z9",
             "99999"});
    GameFrame();
    MoveRight();  // the player digs the earth beside the wall and stands there
    GameFrame();
    EXPECT_EQ(Region(5, 2)[1], "90F89");
    MoveLeft();  // and walks on
    EXPECT_EQ(Region(5, 2)[1], "9F089");
    GameFrame();
    EXPECT_EQ(Region(5, 2)[1], "9F889");
    EXPECT_EQ(Game.GrowingWalls.size(), 2u);
}

}  // namespace
