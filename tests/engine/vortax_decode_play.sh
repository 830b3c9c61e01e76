#!/bin/sh
# --play on an ALSA device, --list-devices, and a device number that is not there.
set -eu
. "$(dirname "$0")/../support/needs_conformance.sh"
needs_conformance "$2"
VORTAX_ALSA_DEVICE="file:FILE=$PWD/played.wav,FORMAT=wav" "$1" --play "$2/l2-fl10.bit" 2>/dev/null
test $(stat -c %s played.wav) -eq $((44 + 112896 * 2))
VORTAX_ALSA_DEVICE=null "$1" --list-devices | grep -qx "0  /dev/wave/0  default output, ALSA PCM null"
out=$(VORTAX_ALSA_DEVICE=null "$1" --play "$2/l2-fl10.bit" --device 10 2>&1) && status=0 || status=$?
test $status -eq 1
test "$out" = "vortax-decode: cannot play on /dev/wave/10: no such device"
