#!/bin/sh
# Folders are converted with their tree kept below the output folder, audio files only.
set -eu
. "$(dirname "$0")/../support/needs_conformance.sh"
needs_conformance "$2"
rm -rf tree
mkdir -p tree/one/sub tree/two
echo text > tree/one/notes.txt
for f in one/song.mp3 one/sub/B.MPA two/song.mp3; do cp "$2/l1-fl1.bit" tree/$f; done
"$1" -j 1 -o tree/out tree/one tree/two 2> tree/log
test "$(grep '^converted' tree/log | tr '\n' ' ')" = "converted tree/out/one/song.wav converted tree/out/one/sub/B.wav converted tree/out/two/song.wav "
test $(find tree/out -type f | wc -l) -eq 3
