#!/bin/sh
# A file that does not exist is named with the reason, status 1.
set -eu
out=$("$1" --scan /no/such.mp3 2>&1 >/dev/null) && status=0 || status=$?
test $status -eq 1
test "$out" = "vortax-decode: /no/such.mp3: cannot open input: no such file"
