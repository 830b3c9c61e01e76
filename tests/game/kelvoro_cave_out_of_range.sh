#!/bin/sh
# A cave number out of range, or not a number, ends with status 2.
set -eu
for n in 0 31 x; do
    "$1" --print-cave $n >/dev/null 2>&1 && status=0 || status=$?
    test $status -eq 2
done
