#!/bin/sh
# Stopped by a signal, a conversion leaves no part file and the earlier output as it was.
# The input is a pipe that is kept open, so the conversion is still waiting for more when
# the signal comes, however fast it is.
set -eu
. "$(dirname "$0")/../support/needs_conformance.sh"
needs_conformance "$2"
rm -rf stop
mkdir -p stop/out
echo earlier > stop/out/song.wav
mkfifo stop/feed
"$1" - stop/out/song.wav < stop/feed 2>/dev/null & pid=$!
exec 3> stop/feed
cat "$2/l3-compl.bit" >&3
i=0
until test $(ls -A stop/out | wc -l) -eq 2; do
    i=$((i + 1))
    test $i -lt 300 || { kill $pid; exit 1; }
    sleep 0.1
done
kill -TERM $pid
wait $pid && status=0 || status=$?
exec 3>&-
test $status -eq 143
test "$(ls -A stop/out)" = song.wav
test "$(cat stop/out/song.wav)" = earlier
