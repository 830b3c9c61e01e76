#!/bin/sh
# The screenshot tests, full screen and in a window, on virtual X servers of two sizes.
set -eu
command -v xvfb-run >/dev/null || exit 77
for size in 1920x1080 1280x720; do
    xvfb-run -a -s "-screen 0 ${size}x24" "$1" "--gtest_filter=ScreenshotTest.*"
done
