#include "render/view.h"

#include <cstdio>
#include <string>

#include "core/state.h"
#include "platform/display.h"
#include "render/cells.h"

namespace {

constexpr Colour White = MakeColour(255, 255, 255);
constexpr Colour Red = MakeColour(255, 0, 0);
constexpr Colour Green = MakeColour(0, 255, 0);
constexpr int TextTop = 5;
constexpr int16_t ExplosionSteps = 9;  // the step on which an explosion cell is gone

const std::string PausedBanner = "             S P A C E B A R   T O   R E S U M E";
const std::string GameOverBanner = "         G  A  M  E     O  V  E  R";
const std::string OutOfTimeBanner = "        O  U  T     O  F     T  I  M  E";

// The band below the cave view says what the player can do next, from its left edge on
// as the status line above it.
constexpr int HintLeft = 32;
constexpr int HintTop = 572;
constexpr Colour Grey = MakeColour(176, 176, 176);
const std::string PausedKeys =
    "Arrows dig   Space resumes   Enter starts the cave again   Esc: title   m: sound   F11: full screen";

void RedrawCell(int16_t x, int16_t y) {
    const int16_t c = Game.Cave(x, y);
    const size_t frame = static_cast<size_t>(Game.AnimFrame);
    if (c != Amoeba && c != Explosion && c != Player) DrawCell(x, y, c);
    if (c == Player && Game.BirthCounter == -1 && !Game.Paused) DrawCell(x, y, Player);
    if (c == Player && Game.BirthCounter != -1) DrawPictureInCell(x, y, DoorBmp[frame]);
    if (c == Jewel) DrawPictureInCell(x, y, JewelBmp[frame]);
    if (c == EnchantedWall && Game.EnchantedWallActive) DrawPictureInCell(x, y, MagicWallBmp[frame]);
    if (c == Amoeba) DrawPictureInCell(x, y, Game.AmoebaFrame == 2 ? AmoebaBmp[0] : AmoebaBmp[1]);
    if (c == Butterfly) DrawPictureInCell(x, y, ButterflyBmp[frame]);
    if (c == Firefly) DrawPictureInCell(x, y, FireflyBmp[frame]);
    if (c == ExitDoor) DrawPictureInCell(x, y, DoorBmp[frame]);
    if (c == Explosion) {
        if (Game.ExplosionTimer == ExplosionSteps) {
            Game.Cave(x, y) = Empty;
            DrawPictureInCell(x, y, EmptyBmp);
        } else {
            DrawPictureInCell(x, y, ExploBmp[static_cast<size_t>(Game.ExplosionTimer)]);
        }
    }
}

void DrawHint(const std::string& text, Colour colour) { DrawTextAt(text, HintLeft, HintTop, colour); }

void DrawFinalScore() {
    std::string text = "Final score " + Padded(Game.Score, 6);
    if (Game.TablePlace > 0) text += ", " + Ordinal(Game.TablePlace) + " in the best ten";
    DrawHint(text + "   -   Esc: back to the title", White);
}

void DrawFullStatusLine() {
    const bool exitOpen = Game.JewelsNeeded < 0;
    if (!exitOpen) DrawTextAt(std::to_string(Game.JewelsNeeded), 200, TextTop, White);
    DrawTextAt("X", 229, TextTop, exitOpen ? Red : Green);
    DrawTextAt(std::to_string(exitOpen ? Game.ExtraJewelValue : Game.JewelValue), 250, TextTop, White);
    DrawTextAt(std::to_string(Game.JewelsCollected), 350, TextTop, White);
    DrawTextAt("Time: " + Padded(Game.CaveTime, 3), 500, TextTop, Game.CaveTime > 10 ? White : Red);
    DrawTextAt("Score: " + Padded(Game.Score, 6), 652, TextTop, White);
    const std::string left = Game.BonusCave ? "Bonus-Level Lives: " + std::to_string(Game.Lives)
                                            : "Level: " + std::to_string(Game.LevelNumber) +
                                                  "   Lives: " + std::to_string(Game.Lives);
    DrawTextAt(left, 32, TextTop, White);
}

}  // namespace

void RedrawCave() {
    for (int16_t y = 1; y <= CaveHeight; ++y)
        for (int16_t x = 1; x <= CaveWidth; ++x) RedrawCell(x, y);
}

void DrawStatusLine() {
    if (Game.Paused)
        DrawTextAt(PausedBanner, 200, TextTop, White);
    else if (Game.Lives == 0)
        DrawTextAt(GameOverBanner, 200, TextTop, White);
    else if (Game.BirthCounter != -1)
        DrawTextAt(Game.CaveDescription, 32, TextTop, Red);
    else if (Game.CaveTime == 0)
        DrawTextAt(OutOfTimeBanner, 200, TextTop, White);
    else
        DrawFullStatusLine();
    if (Game.Paused)
        DrawHint(PausedKeys, Grey);
    else if (Game.Lives == 0)
        DrawFinalScore();
    else if (Game.PlayerDead)
        DrawHint(Game.BonusCave ? "Press Enter to go on" : "Press Enter to try again", White);
}

std::string Padded(long value, int digits) {
    char text[32];
    std::snprintf(text, sizeof text, "%0*ld", digits, value);
    return text;
}

std::string Ordinal(int place) {
    const char* suffix = place == 1 ? "st" : place == 2 ? "nd" : place == 3 ? "rd" : "th";
    return std::to_string(place) + suffix;
}
