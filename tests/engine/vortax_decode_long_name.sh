#!/bin/sh
# A file whose name is nearly as long as a name can be gets its output beside it.
set -eu
. "$(dirname "$0")/../support/needs_conformance.sh"
needs_conformance "$2"
name=long/$(printf '%0250d' 0 | tr 0 a)
rm -rf long
mkdir long
cp "$2/l1-fl1.bit" $name.mp3 || { echo "no 254-byte names here"; exit 77; }
"$1" $name.mp3 2>/dev/null
test -s $name.wav
test $(ls -A long | wc -l) -eq 2
