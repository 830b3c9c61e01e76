#!/bin/sh
# Built without ALSA, the decoder lists no sound output and says so when asked to play.
set -eu
. "$(dirname "$0")/../support/needs_conformance.sh"
needs_conformance "$2"
"$1" --list-devices | grep -qx "0  /dev/wave/0  no sound output: this engine was built without ALSA"
out=$("$1" --play "$2/l2-fl10.bit" 2>&1) && status=0 || status=$?
test $status -eq 1
test "$out" = "vortax-decode: cannot play on /dev/wave/0: no such device"
