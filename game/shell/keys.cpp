#include "shell/keys.h"

#include "display/sound.h"
#include "play/bookkeeping.h"
#include "play/moves.h"
#include "play/state.h"
#include "shell/replay.h"

namespace {

void BackToTitle() {
    Game.InGame = False;
    Game.ScrollX = 0;
    Game.ScrollY = 0;
    Game.Lives = 0;
    StopSound(SndInfo);
    PlayLooping(SndTheme);
}

void NextStartLevel() {
    Game.StartLevel = static_cast<int16_t>(Game.StartLevel + 4);
    PlaySound(SndPling);
    if (Game.StartLevel > 21) Game.StartLevel = 1;
}

void Enter() {
    if (Game.InGame && Game.Lives >= 1) {
        StopSound(SndInfo);
        Game.Paused = False;
        StartCave();
    }
    if (Game.InGame) return;
    if (Game.Lives == 0) {
        StartNewGame(FirstCaveOfLevel(Game.StartLevel));
        return;
    }
    Game.Paused = False;
    StartCave();
    Game.InGame = True;
}

void TogglePause() {
    if (Game.Paused) {
        Game.AmoebaTicks = 0;
        StopSound(SndInfo);
        Game.Paused = False;
    } else {
        PlayLooping(SndInfo);
        Game.Paused = True;
    }
}

}  // namespace

void StartNewGame(int16_t cave) {
    StopSound(SndTheme);
    Game.CaveNumber = cave;
    Game.Lives = 3;
    Game.Score = 0;
    Game.Paused = False;
    StartCave();
    Game.InGame = True;
    NoteNewGame();
}

void KeyDownEvent(int16_t keyCode) {
    if (const auto event = EventOfKeyDown(keyCode)) NoteEvent(*event);
    Form_KeyDown(keyCode);
}

void KeyPressEvent(int16_t keyAscii) {
    if (const auto event = EventOfKeyPress(keyAscii)) NoteEvent(*event);
    Form_KeyPress(keyAscii);
}

int16_t FirstCaveOfLevel(int16_t startLevel) { return static_cast<int16_t>(startLevel + (startLevel - 1) / 4); }

void Form_KeyDown(int16_t keyCode) {
    if (!Game.InGame || Game.Paused || Game.PlayerDead || Game.BirthCounter != -1) return;
    switch (keyCode) {
        case KeyLeft: MoveLeft(); break;
        case KeyRight: MoveRight(); break;
        case KeyUp: MoveUp(); break;
        case KeyDown: MoveDown(); break;
        default: break;
    }
}

void Form_KeyPress(int16_t keyAscii) {
    if (keyAscii == KeyEscape) {
        if (Game.InGame)
            BackToTitle();
        else
            Game.Running = False;
        return;
    }
    if (!Game.InGame && keyAscii == KeyLevel) NextStartLevel();
    if (keyAscii == KeyEnter) Enter();
    if (Game.InGame && !Game.PlayerDead && keyAscii == KeySpace) TogglePause();
}
