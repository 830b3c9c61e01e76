#!/bin/sh
# A WAV file named .mp3 is recognised as what it is and not converted.
set -eu
command -v sox > /dev/null || { echo "no sox"; exit 77; }
rm -f song.wav
sox -n -t wav song.mp3 synth 0.2 sine 440
out=$("$1" song.mp3 2>&1) && status=0 || status=$?
test $status -eq 1
test "$out" = "vortax-decode: song.mp3: a PCM WAV file, not MPEG audio"
test ! -e song.wav
