#include "play/state.h"

GameState Game;
