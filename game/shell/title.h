// The title screen: the title picture, a row of sprites, the high score, the start
// level and the credits fading in and out one line after another; under them how to
// start, or the name asked for after a game that made the best ten. The table of scores
// (h, and after a while without a key) and the keys (F1) take the picture's place.
#pragma once

// The title after idleFrames title frames without a key.
void DrawTitleScreen(int idleFrames = 0);

// Title frames without a key before the table of scores shows by itself, halfway to the demo.
constexpr int TableIdleFrames = 125;
