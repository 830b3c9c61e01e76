#include "shell/scores.h"

#include <algorithm>
#include <iostream>
#include <optional>
#include <utility>

#include "core/state.h"
#include "shell/keys.h"

ScoreBook Scores;

namespace {

using Kind = WindowEvent::Kind;

int32_t BestScore() { return Scores.table.empty() ? 0 : Scores.table.front().score; }

void EnterGame() {
    if (Game.Score <= 0) return;  // a game without points takes no place
    const ScoreEntry entry{Game.Score, Game.CaveNumber, Today(), DefaultPlayerName()};
    std::string error;
    const int place = EnterScore(Scores.file, entry, Scores.table, error);
    if (place < 0) std::cerr << "kelvoro: " << error << "\n";
    Game.TablePlace = static_cast<int16_t>(std::max(place, 0));
    Game.HighScore = std::max(Game.HighScore, BestScore());
    if (place <= 0) return;
    Scores.entered = entry;
    Scores.askingName = true;
    Scores.name.clear();
}

void ConfirmName() {
    Scores.askingName = false;
    const std::string name = CleanName(Scores.name);
    if (name.empty()) return;  // the login name it has already
    std::string error;
    if (!RenameScore(Scores.file, Scores.entered, name, Scores.table, error)) {
        std::cerr << "kelvoro: " << error << "\n";
        return;
    }
    Scores.entered.name = name;
}

// While the name is asked for, every key belongs to it: Enter takes the name, Esc keeps
// the login name, Backspace takes back a character.
bool TypeName(const WindowEvent& key) {
    const std::optional<ReplayEvent> action = key.button ? EventOfKey(key) : std::nullopt;
    if (key.key == Key::Enter || action == ReplayEvent::Enter) {
        ConfirmName();
    } else if (key.key == Key::Escape || action == ReplayEvent::Esc) {
        Scores.askingName = false;
    } else if (key.key == Key::Backspace) {
        if (!Scores.name.empty()) Scores.name.pop_back();
    } else if (key.typed >= ' ' && key.typed < 0x7F && Scores.name.size() < NameCharacters) {
        Scores.name += key.typed;
    }
    return true;
}

}  // namespace

void KeepScoresIn(const std::string& path) {
    Scores = ScoreBook{};
    Scores.file = path;
    std::string warning;
    Scores.table = LoadScores(path, warning);
    if (!warning.empty()) std::cerr << "kelvoro: " << warning << "\n";
    Game.HighScore = BestScore();
}

void CountGame() {
    if (Scores.file.empty()) return;
    if (Game.InGame && Game.Lives > 0 && Game.Running) {
        if (!Scores.gameToCount) Game.TablePlace = 0;
        Scores.gameToCount = true;
        return;
    }
    if (!std::exchange(Scores.gameToCount, false)) return;
    EnterGame();
}

bool IsHelpKey(const WindowEvent& key) { return key.kind == Kind::KeyDown && EventOfKey(key) == ReplayEvent::Help; }

bool TitleTakesKey(const WindowEvent& key) {
    if (Game.InGame || key.kind != Kind::KeyDown) return false;
    if (Scores.askingName) return TypeName(key);
    const std::optional<ReplayEvent> action = EventOfKey(key);
    const bool help = action == ReplayEvent::Help, table = action == ReplayEvent::Scores;
    if (help || table) {
        Scores.helpShown = help && !Scores.helpShown;
        Scores.tableShown = table && !Scores.tableShown;
        return true;
    }
    const bool closing = action == ReplayEvent::Esc && (Scores.helpShown || Scores.tableShown);
    Scores.helpShown = Scores.tableShown = false;
    return closing;
}
