#!/bin/sh
# Without a display, or with a video driver SDL cannot open: status 1 at once, one line saying why.
set -eu
for driver in "" nosuchdriver; do
    err=$(env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER -u XDG_RUNTIME_DIR ${driver:+SDL_VIDEODRIVER=$driver} timeout 10 "$1" --windowed 2>&1 >/dev/null) && status=0 || status=$?
    test $status -eq 1
    test "$(printf '%s\n' "$err" | wc -l)" -eq 1
    printf '%s\n' "$err" | grep -q "^kelvoro: no display to show the game on: .*$driver"
done
