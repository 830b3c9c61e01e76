#!/bin/sh
# Scanning a file without MPEG audio prints nothing and says why, status 1.
set -eu
echo not audio > junk.mp3
"$1" --scan junk.mp3 > junk.out 2> junk.err && status=0 || status=$?
test $status -eq 1
test ! -s junk.out
test "$(cat junk.err)" = "vortax-decode: junk.mp3: no MPEG audio frames in it"
