// Points, lives and the exit: what the jewels and the finish are worth.
#pragma once

// Scores the jewel the player just took, and opens the exit with the last one needed.
void CollectJewel();

// Called after every single point: each multiple of 500 gives a life (flash: show it).
void AddPoint(bool flash);

// The time bonus when the exit is entered: CaveTime + 1 points.
void FinishCave();

// The exit turns from steel into the open door.
void OpenExit();

void KeepHighScore();
