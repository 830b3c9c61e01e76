#!/bin/sh
# A folder that cannot be read is named and counted as failed; the rest is converted.
# Run as root, the test runs the decoder as nobody, whom chmod 000 does stop.
set -eu
. "$(dirname "$0")/../support/needs_conformance.sh"
needs_conformance "$2"
test ! -d locked || chmod -R u+rwx locked
rm -rf locked
mkdir -p locked/music/a locked/music/lost+found
cp "$2/l1-fl1.bit" locked/music/a/song.mp3
cp "$2/l1-fl1.bit" locked/music/z.mp3
chmod 000 locked/music/lost+found
as=
if [ $(id -u) -eq 0 ]; then
    chown -R nobody locked
    as="setpriv --reuid=nobody --regid=nogroup --clear-groups"
fi
cd locked
$as "$1" -j 1 music 2> log && status=0 || status=$?
test $status -eq 1
test -s music/a/song.wav
test -s music/z.wav
grep -qx 'vortax-decode: music/lost+found: cannot read the folder: Permission denied' log
grep -qx '2 converted, 1 failed' log
