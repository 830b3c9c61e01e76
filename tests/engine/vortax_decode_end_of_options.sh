#!/bin/sh
# After --, a name starting with a dash is a file.
set -eu
. "$(dirname "$0")/../support/needs_conformance.sh"
needs_conformance "$2"
rm -rf dash
mkdir dash
cp "$2/l1-fl1.bit" dash/-dash.mp3
cd dash
"$1" -- -dash.mp3 2>/dev/null
test -s ./-dash.wav
