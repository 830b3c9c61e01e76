#!/bin/sh
# A manual page renders without a warning from man or groff.
set -eu
out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$1" 2>&1 >/dev/null) && test -z "$out" || { echo "$out"; exit 1; }
