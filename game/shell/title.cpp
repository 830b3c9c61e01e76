#include "shell/title.h"

#include <array>
#include <cstdio>
#include <string>

#include "display/display.h"
#include "display/sound.h"
#include "play/state.h"

namespace {

constexpr Colour White = RGB(255, 255, 255);
constexpr SourceRect WholeCell{0, 0, CellPixels, CellPixels};
constexpr int SpriteRow = 330;

// Who made this version, the earlier remake, the inventors of the idea, the older game,
// and two thanks.
constexpr std::array<const char*, 6> Credits{
    "KelvoroDX for Linux, written by the Kelvoro crew",
    "After the first Kelvoro remake for the PC",
    "Game idea by the inventors of the cave-digging game",
    "Inspired by the classic cave-digging game of the eight-bit days",
    "Thanks to everyone who tested the beta versions",
    "And thank you for your patience!",
};

// Without a sound device the game says so among its credits.
constexpr const char* Silent = "No sound device could be opened: the game plays without sound";

int CreditCount() { return static_cast<int>(Credits.size()) + (SoundUnavailable() ? 1 : 0); }

const char* CreditText(int line) { return line < static_cast<int>(Credits.size()) ? Credits[static_cast<size_t>(line)] : Silent; }

void DrawSprite(Picture picture, int x) { BlitPicture(picture, WholeCell, x, SpriteRow, false); }

}  // namespace

void DrawTitleScreen() {
    if (++Game.AnimFrame > 2) Game.AnimFrame = 0;
    const auto frame = static_cast<size_t>(Game.AnimFrame);
    BlitPicture(TitleBmp, {0, 0, 640, 480}, 80, 10, false);
    DrawSprite(JewelBmp[frame], 152);
    DrawSprite(FireflyBmp[frame], 184);
    DrawSprite(BoulderBmp, 120);
    // The digger winks on the frame where the next credit line begins.
    if (Game.FadeLevel == 0) {
        DrawSprite(PlayerBmp[1], 216);
        if (++Game.CreditLine >= CreditCount()) Game.CreditLine = 0;
    } else {
        DrawSprite(PlayerBmp[0], 216);
    }
    char highScore[16];
    std::snprintf(highScore, sizeof highScore, "%07d", Game.HighScore);
    DrawTextAt(std::string("H-Score: ") + highScore, 500, 380, White);
    DrawTextAt("Level: " + std::to_string(Game.StartLevel), 500, 410, White);
    const std::string credit = CreditText(Game.CreditLine);
    const auto grey = static_cast<uint32_t>(Game.FadeLevel);
    DrawTextAt(credit, CenteredTextX(credit), 450, RGB(grey, grey, grey));
}
