#!/bin/sh
# AIFF and Sun outputs hold the stream's rate, channels and samples, as sox reads them.
set -eu
. "$(dirname "$0")/../support/needs_conformance.sh"
needs_conformance "$2"
command -v sox > /dev/null || { echo "no sox"; exit 77; }
for out in aiff:out.aiff sun:out.au; do
    f=${out#*:}
    "$1" "$2/l2-fl10.bit" $out 2>/dev/null
    test "$(sox --i -r $f) $(sox --i -c $f) $(sox --i -s $f)" = "32000 2 56448"
done
