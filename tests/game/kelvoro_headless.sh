#!/bin/sh
# A headless run prints the grid and the outcome line after the frames asked for.
set -eu
"$1" --headless --cave 3 --frames 27 --print-grid > grid.txt
test $(wc -l < grid.txt) -eq 26
tail -1 grid.txt | grep -qx 'frames 27 outcome playing cave 3 score 0 lives 3 jewels 0 time 150'
