#!/bin/sh
# A stream whose format changes midway is converted to its first format, with one warning.
# l3-he_mode starts in one channel and goes on in two: the WAV file stays in one channel.
set -eu
. "$(dirname "$0")/../support/needs_conformance.sh"
needs_conformance "$2"
"$1" "$2/l3-he_mode.bit" he_mode.wav 2> log.txt
test $(stat -c %s he_mode.wav) -eq $((44 + 128 * 1152 * 2))
test $(grep -c warning log.txt) -eq 1
grep -qx "vortax-decode: $2/l3-he_mode.bit: warning: the stream format changes from frame [0-9]* on: 44100 Hz stereo, converted to 44100 Hz mono" log.txt
