#!/bin/sh
# A recording made in a cave file says how to play it again, and so it plays.
set -eu
[ -f "$(dirname "$1")/kvtheme.wav" ] || exit 77
. "$(dirname "$0")/corridor_cave.sh"
corridor_cave d
"$1" --windowed --cave-file d --record d.replay --frames 3 --screenshot d.bmp
command=$(sed -n 's/^# Play it again with: kelvoro //p' d.replay)
test "$command" = "--headless --cave-file d --replay d.replay"
"$1" $command | grep -q ' outcome playing cave 1 '
