#!/bin/sh
# Options that only make sense with another, or not with another, end with status 2.
set -eu
"$1" --frames 5 2>/dev/null && status=0 || status=$?
test $status -eq 2
"$1" --headless --cave 1 --windowed 2>/dev/null && status=0 || status=$?
test $status -eq 2
