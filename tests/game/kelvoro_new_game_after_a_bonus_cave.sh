#!/bin/sh
# A new game after a bonus cave left for the title begins at its start level's cave.
set -eu
printf '40 esc\n41 enter\n' > bonus.replay
"$1" --headless --cave 5 --replay bonus.replay --frames 45 > bonus.txt
grep -q ' outcome playing cave 1 ' bonus.txt
