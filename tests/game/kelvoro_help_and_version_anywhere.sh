#!/bin/sh
# --help and --version win over whatever else is on the command line.
set -eu
"$1" --headless --frob --help | grep -q '^usage: kelvoro'
"$1" --cave 99 --version | grep -q '^kelvoro '
