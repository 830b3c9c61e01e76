#include "shell/keys.h"

#include <array>

#include "display/sound.h"
#include "play/bookkeeping.h"
#include "play/moves.h"
#include "play/state.h"

namespace {

using Kind = WindowEvent::Kind;

struct Binding {
    ReplayEvent event;
    std::string_view name;
    std::optional<Kind> key;  // a tick comes from no key
    int16_t code;
};

constexpr std::array<Binding, 9> Bindings{{
    {ReplayEvent::Left, "left", Kind::KeyDown, KeyLeft},
    {ReplayEvent::Right, "right", Kind::KeyDown, KeyRight},
    {ReplayEvent::Up, "up", Kind::KeyDown, KeyUp},
    {ReplayEvent::Down, "down", Kind::KeyDown, KeyDown},
    {ReplayEvent::Esc, "esc", Kind::KeyPress, KeyEscape},
    {ReplayEvent::Enter, "enter", Kind::KeyPress, KeyEnter},
    {ReplayEvent::Space, "space", Kind::KeyPress, KeySpace},
    {ReplayEvent::Level, "l", Kind::KeyPress, KeyLevel},
    {ReplayEvent::Tick, "tick", std::nullopt, 0},
}};

template <typename Match>
const Binding* Find(Match match) {
    for (const Binding& binding : Bindings)
        if (match(binding)) return &binding;
    return nullptr;
}

const Binding& BindingOf(ReplayEvent event) {
    return *Find([event](const Binding& binding) { return binding.event == event; });
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

void BackToTitle() {
    Game.InGame = False;
    Game.ScrollX = 0;
    Game.ScrollY = 0;
    Game.Lives = 0;
    StopSound(SndInfo);
    PlayLooping(SndTheme);
}

void StartNewGame(int16_t cave) {
    StopSound(SndTheme);
    Game.CaveNumber = cave;
    Game.Lives = 3;
    Game.Score = 0;
    Game.Paused = False;
    StartCave();
    Game.InGame = True;
}

std::optional<ReplayEvent> EventNamed(std::string_view name) {
    const Binding* binding = Find([name](const Binding& b) { return b.name == name; });
    return binding ? std::optional(binding->event) : std::nullopt;
}

std::string_view NameOf(ReplayEvent event) { return BindingOf(event).name; }

std::optional<ReplayEvent> EventOfKey(const WindowEvent& key) {
    const Binding* binding = Find([&key](const Binding& b) { return b.key == key.kind && b.code == key.code; });
    return binding ? std::optional(binding->event) : std::nullopt;
}

bool IsMove(ReplayEvent event) { return BindingOf(event).key == Kind::KeyDown; }

void PressKey(ReplayEvent event) {
    const Binding& binding = BindingOf(event);
    if (binding.key == Kind::KeyDown) Form_KeyDown(binding.code);
    if (binding.key == Kind::KeyPress) Form_KeyPress(binding.code);
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
