#include "shell/title.h"

// The title picture, sprites and credits come with the display.
void DrawTitleScreen() {}
