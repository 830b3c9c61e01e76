#!/bin/sh
# Conversion to WAV, to raw samples of one channel at half rate, and a downmix to standard output.
set -eu
. "$(dirname "$0")/../support/needs_conformance.sh"
needs_conformance "$2"
"$1" "$2/l2-fl10.bit" convert.wav 2> line.txt
test $(stat -c %s convert.wav) -eq $((44 + 112896 * 2))
grep -q '^MPEG 1, layer 2, 192 kbit/s, 32000 Hz, joint stereo, 49 frames$' line.txt
"$1" --mono-right --half "$2/l2-fl10.bit" raw:half.pcm 2>/dev/null
test $(stat -c %s half.pcm) -eq $((112896 / 4 * 2))
"$1" --downmix "$2/l3-sin1k0db.bit" - 2>/dev/null | cmp -s - /dev/null && status=0 || status=$?
test $status -ne 0
