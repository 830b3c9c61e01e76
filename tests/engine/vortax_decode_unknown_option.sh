#!/bin/sh
# An unknown option is named on standard error and ends the program with status 2.
set -eu
out=$("$1" --frob 2>&1 >/dev/null) && status=0 || status=$?
test $status -eq 2
test "$out" = "vortax-decode: unknown option --frob"
