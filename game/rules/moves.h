// The player's four moves, one cell per arrow-key press.
#pragma once

void MoveLeft();
void MoveRight();
void MoveUp();
void MoveDown();
