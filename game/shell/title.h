// The title screen.
#pragma once

void DrawTitleScreen();
