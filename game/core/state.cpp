#include "core/state.h"

GameState Game;
