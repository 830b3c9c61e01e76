// The title screen: the title picture, a row of sprites, the high score, the start
// level and the credits fading in and out one line after another.
#pragma once

void DrawTitleScreen();
