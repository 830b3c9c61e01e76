// The game's bookkeeping between the cave rules and the shell: cave start, the clock,
// the enchanted wall's end. Points and lives are in play/score.h.
#pragma once

#include "core/state.h"

// Starts (or restarts) cave CaveNumber; a bonus cave being left steps on to the next.
void StartCave();

// The once-a-second cave clock: the player's appearance, the enchanted wall, the time.
void ClockTick();

// Every enchanted-wall cell becomes plain brick.
void ExpireEnchantedWall();

// The window went to the background: the bonus cave's music stops (a resume brings it
// back) and the pause jingle sounds once instead of looping until the player is back.
void QuietWhileAway();

// Every cell of the cave becomes empty.
void ClearCave();
