// The game's bookkeeping between the cave rules and the shell.
#pragma once

// The once-a-second cave clock.
void ClockTick();
