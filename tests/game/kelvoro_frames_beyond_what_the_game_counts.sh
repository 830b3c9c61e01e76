#!/bin/sh
# A frame count the game cannot count to ends with status 2.
set -eu
"$1" --headless --cave 1 --frames 2147483648 2>/dev/null && status=0 || status=$?
test $status -eq 2
