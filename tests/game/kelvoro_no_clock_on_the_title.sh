#!/bin/sh
# Back on the title the cave clock stands still, headless as on screen.
set -eu
printf '50 esc\n' > esc.replay
"$1" --headless --cave 1 --replay esc.replay --frames 1500 > line.txt
grep -q ' outcome gameover cave 1 score 0 lives 0 ' line.txt
