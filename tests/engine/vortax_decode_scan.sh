#!/bin/sh
# --scan describes a stream and its length, the same from a file as from standard input.
set -eu
. "$(dirname "$0")/../support/needs_conformance.sh"
needs_conformance "$2"
"$1" --scan "$2/l3-sin1k0db.bit" > scan.txt
test "$(sed -n 1p scan.txt)" = "MPEG 1, layer 3, 128 kbit/s, 44100 Hz, joint stereo"
test "$(sed -n 2p scan.txt)" = "frames 317 duration 8"
"$1" --scan - < "$2/l3-sin1k0db.bit" | cmp -s - scan.txt
