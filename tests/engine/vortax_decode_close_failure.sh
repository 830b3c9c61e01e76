#!/bin/sh
# A write that fails only when the output is closed is still reported.
# Few enough frames that nothing reaches the device before the output is closed.
set -eu
. "$(dirname "$0")/../support/needs_conformance.sh"
needs_conformance "$2"
test -c /dev/full || { echo "no /dev/full"; exit 77; }
head -c 3000 "$2/l2-fl10.bit" > short.mp2
out=$("$1" short.mp2 /dev/full 2>&1) && status=0 || status=$?
test $status -eq 1
echo "$out" | grep -qx "vortax-decode: short.mp2: cannot write /dev/full: write failed"
