#!/bin/sh
# Linked folders are followed once each, and links that loop back are not followed.
set -eu
. "$(dirname "$0")/../support/needs_conformance.sh"
needs_conformance "$2"
rm -rf links
mkdir -p links/music/real links/other
cp "$2/l1-fl1.bit" links/music/real/a.mp3
cp "$2/l1-fl1.bit" links/other/b.mp3
ln -s ../other links/music/linked
ln -s ../other links/music/twice
ln -s .. links/music/real/up
ln -s . links/music/self
"$1" -j 1 -o links/out links/music 2> links/log
test "$(grep '^converted' links/log | tr '\n' ' ')" = "converted links/out/music/linked/b.wav converted links/out/music/real/a.wav "
