#include "play/bookkeeping.h"

// The player's appearance, the enchanted-wall timer and the time-out come with the cave rules.
void ClockTick() {}
