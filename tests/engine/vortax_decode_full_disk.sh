#!/bin/sh
# A full disk is named as a failed write, status 1.
set -eu
. "$(dirname "$0")/../support/needs_conformance.sh"
needs_conformance "$2"
out=$("$1" "$2/l3-compl.bit" /dev/full 2>&1) && status=0 || status=$?
test $status -eq 1
test -c /dev/full
echo "$out" | grep -qx "vortax-decode: $2/l3-compl.bit: cannot write /dev/full: write failed"
