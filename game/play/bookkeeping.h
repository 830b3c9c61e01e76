// The game's bookkeeping between the cave rules and the shell: cave start, jewels,
// points and lives, the finish, the clock, the high score.
#pragma once

#include "play/state.h"

// Starts (or restarts) cave CaveNumber; a bonus cave being left steps on to the next.
void StartCave();

// Scores the jewel the player just took, and opens the exit with the last one needed.
void CollectJewel();

// Called after every single point: each multiple of 500 gives a life (flash: show it).
void AddPoint(bool flash);

// The time bonus when the exit is entered: CaveTime + 1 points.
void FinishCave();

// The once-a-second cave clock: the player's appearance, the enchanted wall, the time.
void ClockTick();

// Every enchanted-wall cell becomes plain brick.
void ExpireEnchantedWall();

// The window went to the background: the bonus cave's music stops (a resume brings it
// back) and the pause jingle sounds once instead of looping until the player is back.
void QuietWhileAway();

void KeepHighScore();

// Every cell of the cave becomes empty.
void ClearCave();
