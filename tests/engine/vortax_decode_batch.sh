#!/bin/sh
# Many files convert side by side as one by one, failures counted; no file is written onto itself.
set -eu
. "$(dirname "$0")/../support/needs_conformance.sh"
needs_conformance "$2"
rm -rf batch
mkdir -p batch/in
for s in l1-fl1 l2-fl10 l2-test32 l3-compl M2L3_noise l3-he_mode; do cp "$2/$s.bit" batch/in/$s.mp3; done
echo not audio > batch/in/junk.mp3
cp "$2/l3-si.bit" batch/in/self.wav
"$1" -j 2 -o batch/parallel batch/in/*.mp3 batch/in/missing.mp3 2> batch/log && status=0 || status=$?
test $status -eq 1
"$1" -j 1 -o batch/sequential batch/in/l* batch/in/M* 2>/dev/null
for f in batch/sequential/*.wav; do cmp "$f" batch/parallel/$(basename "$f"); done
test $(ls batch/parallel | wc -l) -eq 6
test ! -e batch/parallel/junk.wav
test ! -e batch/parallel/missing.wav
grep -q '^6 converted, 2 failed$' batch/log
grep -q 'missing.mp3: cannot open input: no such file' batch/log
"$1" batch/in/self.wav 2>/dev/null && status=0 || status=$?
test $status -eq 1
cmp batch/in/self.wav "$2/l3-si.bit"
"$1" batch/in/l1-fl1.mp3 batch/in/l2-fl10.mp3 2>/dev/null
test -e batch/in/l1-fl1.wav
cmp batch/in/l2-fl10.mp3 "$2/l2-fl10.bit"
