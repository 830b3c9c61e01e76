#!/bin/sh
# Two inputs that would be written to the same output stop the run before it starts.
set -eu
. "$(dirname "$0")/../support/needs_conformance.sh"
needs_conformance "$2"
rm -rf clash
mkdir -p clash/a clash/b
cp "$2/l1-fl1.bit" clash/a/song.mp3
cp "$2/l1-fl1.bit" clash/b/song.mp3
out=$("$1" -j 2 -o clash/out clash/a/song.mp3 clash/b/song.mp3 2>&1) && status=0 || status=$?
test $status -eq 2
test ! -e clash/out
test "$out" = "vortax-decode: clash/a/song.mp3 and clash/b/song.mp3 would both be written to clash/out/song.wav"
