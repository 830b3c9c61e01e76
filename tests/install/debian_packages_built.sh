#!/bin/sh
# The Debian packages build, afresh into PACKAGES, for the tests that look at them.
set -eu
rm -rf "$2"
cpack -G DEB -B "$2" --config "$1/CPackConfig.cmake" >/dev/null
