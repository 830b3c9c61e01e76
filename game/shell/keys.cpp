#include "shell/keys.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <sstream>

#include "common/parse.h"
#include "core/state.h"
#include "platform/sound.h"
#include "rules/bookkeeping.h"
#include "rules/moves.h"

namespace {

using Kind = WindowEvent::Kind;

// A move goes to MoveKey and a command to CommandKey, with the row's key; the
// clock ticks from no key; the program's own keys are no part of a game.
enum class Role { Move, Command, Tick, Program };

// The keys and buttons are SDL's names, a comma between two: the keys are those a player
// has unless keys.conf says otherwise.
struct Binding {
    ReplayEvent event;
    std::string_view name;
    Role role;
    Key key;
    std::string_view keys;
    std::string_view buttons;
};

constexpr std::array<Binding, 12> Bindings{{
    {ReplayEvent::Left, "left", Role::Move, Key::Left, "Left, A, Keypad 4", "dpleft"},
    {ReplayEvent::Right, "right", Role::Move, Key::Right, "Right, D, Keypad 6", "dpright"},
    {ReplayEvent::Up, "up", Role::Move, Key::Up, "Up, W, Keypad 8", "dpup"},
    {ReplayEvent::Down, "down", Role::Move, Key::Down, "Down, S, Keypad 2", "dpdown"},
    {ReplayEvent::Esc, "esc", Role::Command, Key::Escape, "Escape", "b, back"},
    {ReplayEvent::Enter, "enter", Role::Command, Key::Enter, "Return, Keypad Enter", "a"},
    {ReplayEvent::Space, "space", Role::Command, Key::Space, "Space", "start"},
    {ReplayEvent::Level, "l", Role::Command, Key::Level, "L", "y"},
    {ReplayEvent::Tick, "tick", Role::Tick, Key::None, "", ""},
    {ReplayEvent::Mute, "mute", Role::Program, Key::None, "M", ""},
    {ReplayEvent::Scores, "scores", Role::Program, Key::None, "H", ""},
    {ReplayEvent::Help, "help", Role::Program, Key::None, "F1", ""},
}};

using Names = std::vector<std::string>;
using NamesOfRows = std::array<Names, Bindings.size()>;

std::string_view Trimmed(std::string_view text) {
    const size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) return {};
    return text.substr(start, text.find_last_not_of(" \t") - start + 1);
}

Names Listed(std::string_view list) {
    Names names;
    for (size_t start = 0; start < list.size();) {
        const size_t comma = std::min(list.find(',', start), list.size());
        names.emplace_back(Trimmed(list.substr(start, comma - start)));
        start = comma + 1;
    }
    return names;
}

template <typename Column>
NamesOfRows ListedInEachRow(Column column) {
    NamesOfRows rows;
    for (size_t i = 0; i < Bindings.size(); ++i) rows[i] = Listed(Bindings[i].*column);
    return rows;
}

const NamesOfRows DefaultKeys = ListedInEachRow(&Binding::keys);
const NamesOfRows Buttons = ListedInEachRow(&Binding::buttons);
NamesOfRows Keys = DefaultKeys;

// SDL's names differ only in case from what a player may write.
bool SameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

bool Lists(const Names& names, std::string_view name) {
    return std::any_of(names.begin(), names.end(), [name](const std::string& listed) { return SameName(listed, name); });
}

template <typename Match>
const Binding* Find(Match match) {
    for (const Binding& binding : Bindings)
        if (match(binding)) return &binding;
    return nullptr;
}

const Binding& BindingOf(ReplayEvent event) {
    return *Find([event](const Binding& binding) { return binding.event == event; });
}

// What keys.conf gives: the keys of each action it names, and the line that names it.
struct KeysFile {
    NamesOfRows keys;
    std::array<int, Bindings.size()> lineOf{};  // 0: not named
};

struct Fault {
    size_t at;  // in the line
    std::string what;
};

std::string ActionNames() {
    std::string names;
    for (const Binding& binding : Bindings)
        if (binding.role != Role::Tick) names += (names.empty() ? "" : ", ") + std::string(binding.name);
    return names;
}

// Takes one line of keys.conf into `file`; a line with a fault takes nothing.
std::optional<Fault> ReadKeysLine(std::string_view line, int number, KeysFile& file, const KeyNamer& keyName) {
    line = line.substr(0, line.find('#'));
    if (Trimmed(line).empty()) return std::nullopt;
    const size_t start = line.find_first_not_of(" \t");
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) return Fault{start, "expected '<action> = <key>, <key>, ..'"};
    const std::string_view action = Trimmed(line.substr(0, equals));
    const Binding* binding = Find([action](const Binding& b) { return b.name == action && b.role != Role::Tick; });
    if (!binding) return Fault{start, "unknown action " + Quoted(action) + ", not one of " + ActionNames()};
    const auto row = static_cast<size_t>(binding - Bindings.data());
    if (file.lineOf[row] != 0)
        return Fault{start, Quoted(action) + " has its keys from line " + std::to_string(file.lineOf[row]) + " already"};
    Names keys;
    for (size_t from = equals + 1; from <= line.size();) {
        const size_t comma = std::min(line.find(',', from), line.size());
        const std::string_view written = Trimmed(line.substr(from, comma - from));
        const size_t at = written.empty() ? from : static_cast<size_t>(written.data() - line.data());
        if (written.empty()) return Fault{at, "a key is missing"};
        const std::string key = keyName(std::string(written));
        if (key.empty()) return Fault{at, "unknown key " + Quoted(written)};
        for (size_t other = 0; other < Bindings.size(); ++other)
            if (other != row && Lists(file.keys[other], key))
                return Fault{at, "the key " + Quoted(key) + " is given to " + Quoted(Bindings[other].name) + " on line " +
                                     std::to_string(file.lineOf[other]) + " already"};
        keys.push_back(key);
        from = comma + 1;
    }
    file.keys[row] = keys;
    file.lineOf[row] = number;
    return std::nullopt;
}

bool TypesCapital(const WindowEvent& key) {
    return !key.button && key.shifted && key.name.size() == 1 && std::isalpha(static_cast<unsigned char>(key.name[0]));
}

void NextStartLevel() {
    Game.StartLevel = static_cast<int16_t>(Game.StartLevel + 4);
    PlaySound(SndPling);
    if (Game.StartLevel > 21) Game.StartLevel = 1;
}

void Enter() {
    if (Game.InGame && Game.Lives >= 1) {
        StopSound(SndInfo);
        Game.Paused = false;
        StartCave();
    }
    if (Game.InGame) return;
    if (Game.Lives == 0) {
        StartNewGame(FirstCaveOfLevel(Game.StartLevel));
        return;
    }
    Game.Paused = false;
    StartCave();
    Game.InGame = true;
}

void TogglePause() {
    if (Game.Paused) {
        Game.AmoebaTicks = 0;
        StopSound(SndInfo);
        if (Game.BonusCave) PlayLooping(SndBonus2);  // stopped if the window went away
        Game.Paused = false;
    } else {
        PlayLooping(SndInfo);
        Game.Paused = true;
    }
}

}  // namespace

void BackToTitle() {
    Game.InGame = false;
    Game.ScrollX = 0;
    Game.ScrollY = 0;
    Game.Lives = 0;
    StopSound(SndInfo);
    StopSound(SndBonus2);
    PlayLooping(SndTheme);
}

void StartNewGame(int16_t cave) {
    StopSound(SndTheme);
    Game.CaveNumber = cave;
    Game.Lives = 3;
    Game.Score = 0;
    Game.Paused = false;
    // A bonus cave left for the title is no reason to skip the new game's first cave.
    Game.BonusCave = false;
    StartCave();
    Game.InGame = true;
}

std::optional<ReplayEvent> EventNamed(std::string_view name) {
    const Binding* binding = Find([name](const Binding& b) { return b.name == name && b.role != Role::Program; });
    return binding ? std::optional(binding->event) : std::nullopt;
}

std::string_view NameOf(ReplayEvent event) { return BindingOf(event).name; }

std::optional<ReplayEvent> EventOfKey(const WindowEvent& key) {
    if (key.kind != Kind::KeyDown) return std::nullopt;
    for (size_t i = 0; i < Bindings.size(); ++i) {
        if (Bindings[i].role != Role::Move && TypesCapital(key)) continue;
        if (Lists(key.button ? Buttons[i] : Keys[i], key.name)) return Bindings[i].event;
    }
    return std::nullopt;
}

bool IsMove(ReplayEvent event) { return BindingOf(event).role == Role::Move; }

bool IsPartOfGame(ReplayEvent event) { return BindingOf(event).role != Role::Program; }

void PressKey(ReplayEvent event) {
    const Binding& binding = BindingOf(event);
    if (binding.role == Role::Move) MoveKey(binding.key);
    if (binding.role == Role::Command) CommandKey(binding.key);
}

std::vector<std::string> UseKeysFile(const std::string& text, const std::string& path, const KeyNamer& keyName) {
    std::vector<std::string> faults;
    KeysFile file;
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number)
        if (const std::optional<Fault> fault = ReadKeysLine(line, number, file, keyName))
            faults.push_back(Where(path, number, ColumnOf(line, fault->at)) + fault->what);
    for (size_t row = 0; row < Bindings.size(); ++row) {
        if (file.lineOf[row] != 0) {
            Keys[row] = file.keys[row];
            continue;
        }
        Keys[row].clear();
        for (const std::string& key : DefaultKeys[row])
            if (std::none_of(file.keys.begin(), file.keys.end(), [&key](const Names& given) { return Lists(given, key); }))
                Keys[row].push_back(key);
    }
    return faults;
}

void UseDefaultKeys() { Keys = DefaultKeys; }

std::string KeysFilePath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return std::string(config) + "/kelvoro/keys.conf";
    // A relative home would put the file wherever the game was started.
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.config/kelvoro/keys.conf";
    return "";
}

int16_t FirstCaveOfLevel(int16_t startLevel) { return static_cast<int16_t>(startLevel + (startLevel - 1) / 4); }

void MoveKey(Key key) {
    if (!Game.InGame || Game.Paused || Game.PlayerDead || Game.BirthCounter != -1) return;
    switch (key) {
        case Key::Left: MoveLeft(); break;
        case Key::Right: MoveRight(); break;
        case Key::Up: MoveUp(); break;
        case Key::Down: MoveDown(); break;
        default: break;
    }
}

void CommandKey(Key key) {
    if (key == Key::Escape) {
        if (Game.InGame)
            BackToTitle();
        else
            Game.Running = false;
        return;
    }
    if (!Game.InGame && key == Key::Level) NextStartLevel();
    if (key == Key::Enter) Enter();
    if (Game.InGame && !Game.PlayerDead && key == Key::Space) TogglePause();
}
