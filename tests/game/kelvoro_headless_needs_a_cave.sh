#!/bin/sh
# --headless without a cave ends with status 2.
set -eu
"$1" --headless 2>/dev/null && status=0 || status=$?
test $status -eq 2
