#include "shell/title.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "core/state.h"
#include "platform/display.h"
#include "platform/sound.h"
#include "render/view.h"
#include "shell/scores.h"

namespace {

constexpr Colour White = MakeColour(255, 255, 255);
constexpr Colour Grey = MakeColour(176, 176, 176);
constexpr Colour Green = MakeColour(0, 255, 0);
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

// The silent game says so first, from the title's first frame on.
const char* CreditText(int line) {
    if (SoundUnavailable() && line-- == 0) return Silent;
    return Credits[static_cast<size_t>(std::max(line, 0))];
}

void DrawSprite(Picture picture, int x) { BlitPicture(picture, WholeCell, x, SpriteRow, false); }

void DrawCentred(const std::string& text, int y, Colour colour) { DrawTextAt(text, CenteredTextX(text), y, colour); }

// Where the picture was: the best ten, the game just entered in green.
void DrawScoreTable() {
    DrawCentred("The best ten", 40, White);
    if (Scores.table.empty()) DrawCentred("No game in the table yet", 90, Grey);
    bool marked = false;
    for (size_t i = 0; i < Scores.table.size(); ++i) {
        const ScoreEntry& entry = Scores.table[i];
        const bool last = !marked && entry == Scores.entered;
        marked = marked || last;
        const Colour colour = last ? Green : White;
        const int y = 90 + 30 * static_cast<int>(i);
        DrawTextAt(std::to_string(i + 1) + ".", 140, y, colour);
        DrawTextAt(entry.name, 180, y, colour);
        DrawTextAt(Padded(entry.score, 7), 400, y, colour);
        if (entry.cave > 0) DrawTextAt("cave " + std::to_string(entry.cave), 500, y, colour);
        DrawTextAt(entry.date, 590, y, colour);
    }
}

// Where the picture was: every key of the game.
void DrawKeys() {
    constexpr std::array<std::array<const char*, 2>, 9> Keys{{
        {"Arrows or W A S D", "move Nuvo, digging through earth"},
        {"Enter", "start a game; after a death, the cave again"},
        {"Space or F1", "pause and resume"},
        {"Esc", "back to the title; on the title, quit"},
        {"l", "choose the start level"},
        {"h", "the best ten"},
        {"m", "sound off and on"},
        {"F11, Alt+Enter", "full screen or a window"},
        {"Game controller", "D-pad moves, A Enter, Start Space, B Esc, Y l"},
    }};
    DrawCentred("Keys", 40, White);
    for (size_t i = 0; i < Keys.size(); ++i) {
        const int y = 90 + 30 * static_cast<int>(i);
        DrawTextAt(Keys[i][0], 130, y, White);
        DrawTextAt(Keys[i][1], 300, y, Grey);
    }
}

void DrawPicture() {
    const auto frame = static_cast<size_t>(Game.AnimFrame);
    BlitPicture(TitleBmp, {0, 0, 640, 480}, 80, 10, false);
    DrawSprite(JewelBmp[frame], 152);
    DrawSprite(FireflyBmp[frame], 184);
    DrawSprite(BoulderBmp, 120);
    // The digger winks on the frame where the next credit line begins.
    DrawSprite(PlayerBmp[Game.FadeLevel == 0 ? 1 : 0], 216);
    DrawTextAt("H-Score: " + Padded(Game.HighScore, 7), 500, 380, White);
    DrawTextAt("Level: " + std::to_string(Game.StartLevel), 500, 410, White);
}

// Under the picture: how to start, or the name of the player who made the best ten.
void DrawWhatToDo() {
    if (Scores.askingName) {
        DrawCentred(Padded(Scores.entered.score, 7) + " points: " + Ordinal(Game.TablePlace) +
                        " place in the best ten!", 500, White);
        DrawCentred("Your name: " + Scores.name + "_", 530, Green);
        DrawCentred("Type it, then Enter   Esc: keep " + Scores.entered.name, 560, Grey);
        return;
    }
    DrawCentred("Press Enter to start at level " + std::to_string(Game.StartLevel), 500, White);
    DrawCentred("l: start level   h: best ten   F1: keys   Esc: quit", 535, Grey);
}

}  // namespace

void DrawTitleScreen(int idleFrames) {
    if (++Game.AnimFrame > 2) Game.AnimFrame = 0;
    if (Game.FadeLevel == 0 && ++Game.CreditLine >= CreditCount()) Game.CreditLine = 0;
    // Halfway to the demo the best ten take the picture's place by themselves.
    const bool idleTable = idleFrames >= TableIdleFrames && !Scores.askingName && !Scores.file.empty();
    if (Scores.helpShown)
        DrawKeys();
    else if (Scores.tableShown || idleTable)
        DrawScoreTable();
    else
        DrawPicture();
    const std::string credit = CreditText(Game.CreditLine);
    const auto grey = static_cast<uint32_t>(Game.FadeLevel);
    DrawTextAt(credit, CenteredTextX(credit), 450, MakeColour(grey, grey, grey));
    DrawWhatToDo();
}
