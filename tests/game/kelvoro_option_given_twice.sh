#!/bin/sh
# An option given twice is named, status 2.
set -eu
out=$("$1" --cave 1 --cave 2 2>&1 >/dev/null) && status=0 || status=$?
test $status -eq 2
test "$out" = "kelvoro: --cave is given twice"
