#!/bin/sh
# Outputs that cannot be written are refused before the game starts, status 2.
set -eu
rm -f shot.bmp
check() {
    out=$("$1" --windowed --cave 1 $2 2>&1 >/dev/null) && status=0 || status=$?
    test $status -eq 2
    test "$out" = "kelvoro: $3"
}
check "$1" "--frames 3 --screenshot shot.bmp --record none/r.replay" "cannot write none/r.replay: there is no folder none"
check "$1" "--frames 3 --screenshot none/shot.bmp" "cannot write none/shot.bmp: there is no folder none"
check "$1" "--frames 0 --screenshot shot.bmp" "--screenshot takes the picture after a frame: --frames must be 1 or more"
test ! -e shot.bmp
