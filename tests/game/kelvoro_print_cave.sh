#!/bin/sh
# --print-cave prints a cave's header line and its rows.
set -eu
"$1" --print-cave 5 > cave5.txt
test $(wc -l < cave5.txt) -eq 27
test "$(sed -n 1p cave5.txt)" = "cave 5 level 0 bonus 1 need 6 value 30 extra 0 time 23 wall 0"
test "$(sed -n 2p cave5.txt)" = "          B O N U S   -   L E V E L"
