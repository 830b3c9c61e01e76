#include <gtest/gtest.h>

#include "core/grid.h"
#include "core/state.h"
#include "game_fixture.h"
#include "render/cells.h"

namespace {

class DrawingTest : public GameFixture {
protected:
    int Width(const CopyCall& call) const { return call.rect.right - call.rect.left; }
    int Height(const CopyCall& call) const { return call.rect.bottom - call.rect.top; }
};

TEST_F(DrawingTest, EachCodeShowsItsStillPicture) {
    const std::vector<std::pair<int16_t, Picture>> pictures{
        {FallingBoulder, BoulderBmp}, {FallingJewel, JewelBmp[0]}, {Player, PlayerBmp[0]}, {Empty, EmptyBmp},
        {Earth, EarthBmp},           {Jewel, JewelBmp[0]},        {Boulder, BoulderBmp},  {EnchantedWall, BrickBmp},
        {Amoeba, AmoebaBmp[0]},      {Butterfly, ButterflyBmp[0]}, {Firefly, FireflyBmp[0]}, {BrickWall, BrickBmp},
        {SteelWall, SteelBmp},       {ExitDoor, DoorBmp[0]},
    };
    for (const auto& [code, picture] : pictures) {
        display.copies.clear();
        DrawCell(3, 2, code);
        ASSERT_EQ(display.copies.size(), 1u) << "code " << code;
        EXPECT_EQ(display.copies[0].picture, picture) << "code " << code;
        EXPECT_EQ(display.copies[0].x, 96);
        EXPECT_EQ(display.copies[0].y, 64);
    }
}

TEST_F(DrawingTest, ExplosionAndUnknownCodesDrawNothingAndChangeNothing) {
    Game.Cave(3, 2) = Explosion;
    for (int16_t code : {int16_t{10}, int16_t{12}, int16_t{-4}}) DrawCell(3, 2, code);
    EXPECT_TRUE(display.copies.empty());
    EXPECT_EQ(Game.Cave(3, 2), Explosion);
}

TEST_F(DrawingTest, CellsAreClippedToTheCaveWindow) {
    // Column 23 starts at 736 and fits whole; x 760 keeps 8 pixels; 768 and beyond nothing.
    BlitPicture(EarthBmp, {0, 0, 32, 32}, 736, 64, true);
    BlitPicture(EarthBmp, {0, 0, 32, 32}, 760, 64, true);
    BlitPicture(EarthBmp, {0, 0, 32, 32}, 768, 64, true);
    BlitPicture(EarthBmp, {0, 0, 32, 32}, 800, 64, true);
    ASSERT_EQ(display.copies.size(), 2u);
    EXPECT_EQ(Width(display.copies[0]), 32);
    EXPECT_EQ(Width(display.copies[1]), 8);
    EXPECT_EQ(display.copies[1].x, 760);
}

TEST_F(DrawingTest, ClippingOnTheLeftAndTopCutsTheStartOfTheSource) {
    BlitPicture(EarthBmp, {0, 0, 32, 32}, 16, 16, true);
    ASSERT_EQ(display.copies.size(), 1u);
    const CopyCall& call = display.copies[0];
    EXPECT_EQ(call.x, 32);
    EXPECT_EQ(call.y, 32);
    EXPECT_EQ(call.rect.left, 16);
    EXPECT_EQ(call.rect.top, 16);
    EXPECT_EQ(Width(call), 16);
    EXPECT_EQ(Height(call), 16);
}

TEST_F(DrawingTest, ScrolledToTheBottomRow25IsWholeAndNothingLiesBelow568) {
    Game.ScrollY = -288;
    for (int16_t x = 1; x <= CaveWidth; ++x) DrawCell(x, 25, SteelWall);
    ASSERT_FALSE(display.copies.empty());
    for (const CopyCall& call : display.copies) {
        EXPECT_EQ(call.y, 512);
        EXPECT_EQ(Height(call), 32);
        EXPECT_LE(call.y + Height(call), 568);
    }
    Game.ScrollY = 0;
    display.copies.clear();
    DrawCell(1, 17, SteelWall);  // row 17 shows a 24-pixel strip
    ASSERT_EQ(display.copies.size(), 1u);
    EXPECT_EQ(Height(display.copies[0]), 24);
}

TEST_F(DrawingTest, ScrolledRightColumn40IsTheLastAndColumn17IsGone) {
    Game.ScrollX = -544;
    DrawCell(40, 2, Earth);
    DrawCell(17, 2, Earth);
    ASSERT_EQ(display.copies.size(), 1u);
    EXPECT_EQ(display.copies[0].x, 736);
    EXPECT_EQ(Width(display.copies[0]), 32);
}

TEST_F(DrawingTest, UnclippedPicturesAreCopiedWhole) {
    BlitPicture(TitleBmp, {0, 0, 640, 480}, 80, 10, false);
    ASSERT_EQ(display.copies.size(), 1u);
    EXPECT_EQ(Width(display.copies[0]), 640);
    EXPECT_EQ(Height(display.copies[0]), 480);
    EXPECT_EQ(display.copies[0].x, 80);
}

TEST(GridTest, TheCaveIsColumns1To40AndRows1To25) {
    EXPECT_TRUE(InsideCave(1, 1));
    EXPECT_TRUE(InsideCave(CaveWidth, CaveHeight));
    EXPECT_FALSE(InsideCave(0, 5));
    EXPECT_FALSE(InsideCave(5, 0));
    EXPECT_FALSE(InsideCave(CaveWidth + 1, 5));
    EXPECT_FALSE(InsideCave(5, CaveHeight + 1));
}

}  // namespace
