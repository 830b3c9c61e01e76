#include "cave_builder.h"

#include <algorithm>
#include <sstream>

#include "core/caves.h"
#include "core/state.h"
#include "rules/bookkeeping.h"
#include "shell/headless.h"

namespace {

FakeDisplay display;
FakeSound sound;
CaveDefinition loaded{};

}  // namespace

const CaveDefinition& LoadedMap() { return loaded; }

FakeDisplay& TestDisplay() { return display; }
FakeSound& TestSound() { return sound; }

void LoadMap(const std::vector<std::string>& map, const MapOptions& options) {
    display = FakeDisplay{};
    sound = FakeSound{};
    UseDisplayDevice(&display);
    UseSoundDevice(&sound);
    Game = GameState{};
    loaded = CaveDefinition{"a test cave", 1, options.bonus,
                        static_cast<int16_t>(options.need), static_cast<int16_t>(options.value),
                        static_cast<int16_t>(options.extra), static_cast<int16_t>(options.time),
                        static_cast<int16_t>(options.wall), {}};
    size_t y = 0;
    for (const std::string& line : map) loaded.Rows[y++] = line + std::string(40 - line.size(), '9');
    for (; y < loaded.Rows.size(); ++y) loaded.Rows[y] = std::string(40, '9');
    LoadCaveDefinition(loaded);
    Game.InGame = true;
    Game.Lives = 3;
    Game.BirthCounter = -1;
    Game.ClockRunning = true;
    sound.log.clear();
}

Rows Region(int width, int height) {
    std::ostringstream grid;
    PrintGrid(grid);
    Rows region;
    std::istringstream lines(grid.str());
    std::string line;
    while (static_cast<int>(region.size()) < height && std::getline(lines, line)) region.push_back(line.substr(0, width));
    return region;
}

int TimesPlayed(Sound sound_) {
    const std::string once = "Play " + std::to_string(sound_);
    const std::string looping = "Loop " + std::to_string(sound_);
    return static_cast<int>(std::count_if(sound.log.begin(), sound.log.end(),
                                          [&](const std::string& call) { return call == once || call == looping; }));
}

int CellsHolding(int16_t code) {
    int cells = 0;
    for (int y = 1; y <= CaveHeight; ++y)
        for (int x = 1; x <= CaveWidth; ++x)
            if (Game.Cave(x, y) == code) ++cells;
    return cells;
}
