#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <string>

#include "core/state.h"
#include "platform/assets.h"
#include "platform/display_sdl.h"
#include "render/cells.h"
#include "render/view.h"
#include "shell/title.h"

namespace {

constexpr uint32_t Black = 0x000000;
constexpr uint32_t WhiteRgb = 0xFFFFFF;
constexpr uint32_t RedRgb = 0xFF0000;
constexpr uint32_t GreenRgb = 0x00FF00;

// One pixel of a picture file the game loads, as 0xRRGGBB.
uint32_t FilePixel(const std::string& file, int x, int y) {
    SDL_Surface* loaded = SDL_LoadBMP((std::string(ASSETS_DIR) + "/" + file).c_str());
    EXPECT_NE(loaded, nullptr) << file;
    if (!loaded) return 0;
    SDL_Surface* surface = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(loaded);
    const uint32_t pixel = static_cast<const uint32_t*>(surface->pixels)[y * surface->pitch / 4 + x] & 0xFFFFFF;
    SDL_FreeSurface(surface);
    return pixel;
}

class ScreenTest : public ::testing::Test {
protected:
    SdlScreen screen{ScreenOptions{true}};

    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        Game = GameState{};
        ProgramFolder = ASSETS_DIR;
        UseDisplayDevice(&screen);
        ASSERT_TRUE(InitDisplay());
        ASSERT_TRUE(LoadPictures());
        ClearBackBuffer(MakeColour(0, 0, 0));
    }
    void TearDown() override {
        ReleaseDisplay();
        UseDisplayDevice(nullptr);
    }

    // Does any pixel of the rectangle show this colour? Text edges are smoothed into the
    // black behind, so a pixel counts when each part is within a quarter of the colour's.
    bool AnyPixel(int left, int top, int right, int bottom, uint32_t colour) const {
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                if (Near(screen.PixelAt(x, y), colour)) return true;
        return false;
    }
    static bool Near(uint32_t pixel, uint32_t colour) {
        for (int shift : {0, 8, 16}) {
            const int a = static_cast<int>((pixel >> shift) & 0xFF);
            const int b = static_cast<int>((colour >> shift) & 0xFF);
            if (std::abs(a - b) > 64) return false;
        }
        return true;
    }
    bool Blank(int left, int top, int right, int bottom) const {
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                if (screen.PixelAt(x, y) != Black) return false;
        return true;
    }
};

TEST_F(ScreenTest, ColoursShowAsTheirRedGreenAndBlue) {
    const std::pair<Colour, uint32_t> colours[] = {
        {MakeColour(255, 0, 0), RedRgb}, {MakeColour(0, 255, 0), GreenRgb}, {MakeColour(0, 255, 255), 0x00FFFF}, {MakeColour(176, 16, 1), 0xB01001}};
    for (const auto& [colour, pixel] : colours) {
        ClearBackBuffer(colour);
        EXPECT_EQ(screen.PixelAt(0, 0), pixel);
        EXPECT_EQ(screen.PixelAt(799, 599), pixel);
    }
}

TEST_F(ScreenTest, CellsAreCutAtTheEdgesOfTheCaveWindow) {
    BlitPicture(SteelBmp, {0, 0, 32, 32}, 760, 64, true);
    for (int x = 760; x < 768; ++x) EXPECT_EQ(screen.PixelAt(x, 70), FilePixel("steel.bmp", x - 760, 6)) << x;
    EXPECT_TRUE(Blank(768, 64, 800, 96));
    BlitPicture(SteelBmp, {0, 0, 32, 32}, 768, 128, true);
    EXPECT_TRUE(Blank(736, 128, 800, 160));

    // Scrolled to the bottom, row 25 ends at 544 and the window below stays black.
    Game.ScrollY = -288;
    DrawCell(5, 25, SteelWall);
    EXPECT_EQ(screen.PixelAt(170, 543), FilePixel("steel.bmp", 10, 31));
    EXPECT_TRUE(Blank(32, 544, 768, 600));
}

TEST_F(ScreenTest, TheStatusLineShowsItsFieldsInTheirColours) {
    Game.Lives = 3;
    Game.BirthCounter = -1;
    Game.LevelNumber = 4;
    Game.JewelsNeeded = 12;
    Game.JewelValue = 10;
    Game.CaveTime = 99;
    DrawStatusLine();
    EXPECT_TRUE(AnyPixel(229, 5, 245, 30, GreenRgb));  // the X, green while the exit is shut
    EXPECT_TRUE(AnyPixel(200, 5, 228, 30, WhiteRgb));  // jewels needed
    EXPECT_TRUE(AnyPixel(500, 5, 600, 30, WhiteRgb));  // the time
    EXPECT_TRUE(AnyPixel(32, 5, 190, 30, WhiteRgb));   // level and lives
    EXPECT_TRUE(Blank(0, 32, 800, 600));

    ClearBackBuffer(MakeColour(0, 0, 0));
    Game.JewelsNeeded = -1;
    Game.CaveTime = 10;
    DrawStatusLine();
    EXPECT_TRUE(AnyPixel(229, 5, 245, 30, RedRgb));
    EXPECT_FALSE(AnyPixel(229, 5, 245, 30, GreenRgb));
    EXPECT_TRUE(Blank(200, 5, 228, 30));  // no jewels-needed number once the exit is open
    EXPECT_TRUE(AnyPixel(500, 5, 600, 30, RedRgb));
}

TEST_F(ScreenTest, BannersStandAloneInTheTextBand) {
    Game.Lives = 0;
    Game.BirthCounter = -1;
    DrawStatusLine();
    EXPECT_TRUE(Blank(0, 0, 200, 32));
    EXPECT_TRUE(AnyPixel(200, 5, 768, 30, WhiteRgb));

    ClearBackBuffer(MakeColour(0, 0, 0));
    Game.Lives = 2;
    Game.BirthCounter = 1;
    Game.CaveDescription = "Intro: Pick up jewels and exit before time is up";
    DrawStatusLine();
    EXPECT_TRUE(AnyPixel(32, 5, 200, 30, RedRgb));
    EXPECT_FALSE(AnyPixel(0, 0, 800, 32, WhiteRgb));
}

TEST_F(ScreenTest, TheTitleScreenPlacesItsPictureSpritesAndTexts) {
    Game.FadeLevel = 0;
    Game.CreditLine = -1;
    DrawTitleScreen();
    EXPECT_EQ(Game.CreditLine, 0);
    EXPECT_EQ(screen.PixelAt(80, 10), FilePixel("kv001.bmp", 0, 0));
    EXPECT_EQ(screen.PixelAt(719, 489), FilePixel("kv001.bmp", 639, 479));
    EXPECT_TRUE(Blank(0, 0, 80, 600));
    EXPECT_TRUE(Blank(720, 0, 800, 600));
    EXPECT_EQ(screen.PixelAt(120 + 16, 330 + 16), FilePixel("boulder.bmp", 16, 16));
    EXPECT_EQ(screen.PixelAt(216 + 16, 330 + 16), FilePixel("Nuvo1.bmp", 16, 16));  // the wink
    EXPECT_TRUE(AnyPixel(500, 380, 640, 400, WhiteRgb));                        // H-Score
    EXPECT_TRUE(AnyPixel(500, 410, 560, 430, WhiteRgb));                        // Level
}

TEST_F(ScreenTest, CreditsAreCentredWithTheFontsAverageWidth) {
    const int width = screen.AverageCharWidth();
    EXPECT_GT(width, 4);
    EXPECT_LT(width, 16);
    const std::string text(10, 'x');
    EXPECT_EQ(CenteredTextX(text), 400 - 10 * width / 2 - 20);
}

}  // namespace
