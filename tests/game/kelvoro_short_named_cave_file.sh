#!/bin/sh
# A cave file with a one-letter name is played to its exit.
set -eu
. "$(dirname "$0")/corridor_cave.sh"
corridor_cave c
printf '36 right\n37 right\n37 right\n37 right\n38 right\n38 right\n' > r
test "$("$1" --headless --cave-file c --replay r)" = "frames 38 outcome exit cave 1 score 62 lives 3 jewels 3 time 46"
