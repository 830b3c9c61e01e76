#!/bin/sh
# Standard input with no output named is refused with a hint, status 2.
set -eu
out=$("$1" - < /dev/null 2>&1) && status=0 || status=$?
test $status -eq 2
test "$out" = "vortax-decode: standard input has no name to make the output's from: name the output, as in 'vortax-decode - out.wav'"
