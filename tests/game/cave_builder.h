// Small caves for rule tests: a map drawn in the cave alphabet is laid into the top-left
// corner of a cave that is steel everywhere else.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "core/caves.h"
#include "fake_devices.h"

using Rows = std::vector<std::string>;

struct MapOptions {
    bool bonus = false;
    int need = 10, value = 10, extra = 0, time = 999, wall = 10;
};

// Resets the game, installs fresh fake devices and loads the map; the player has
// appeared and the clock runs, as in the middle of a cave.
void LoadMap(const std::vector<std::string>& map, const MapOptions& options = {});

// The definition of the map loaded last, for rules that start the cave again.
const CaveDefinition& LoadedMap();

// The top-left width x height cells as the headless grid prints them (F player,
// J and B falling jewel and boulder, E explosion, D open exit, digits otherwise).
Rows Region(int width, int height);

// How many cells of the cave (columns 1..40, rows 1..25) hold `code`.
int CellsHolding(int16_t code);

// The devices the rules draw and sound through during a test.
FakeDisplay& TestDisplay();
FakeSound& TestSound();

// How often the sound was started (played once or looping) since the map was loaded.
int TimesPlayed(Sound sound);
