// One frame of the running game.
#pragma once

void GameFrame();
