#!/bin/sh
# --help prints the usage line.
set -eu
"$1" --help | grep -q '^usage: vortax-decode'
