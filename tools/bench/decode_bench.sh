#!/bin/sh
# Times vortax-decode against mpg123 on the same files in the same run: a five-minute
# stereo signal encoded as 128 kbit/s joint-stereo MP3, VBR quality 2 MP3, 22.05 kHz
# MPEG-2 MP3 and 192 kbit/s layer II. Prints wall time (the best of three runs), the ratio,
# times real time and peak memory of both; then, when built, vortax_read into a 64 KiB
# buffer (vortax-pull-bench) on the 128 kbit/s file, to set against the WAV path above.
#   tools/bench/decode_bench.sh [BUILD]      (default BUILD: build/release)
# Needs the Debian packages sox, lame, twolame, mpg123 and time.
set -eu
build=${1:-build/release}
decoder=$(cd "$build/bin" && pwd)/vortax-decode
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seconds=300

# Music-like material: a chord that wanders, a little noise, a beat.
sox -n -r 44100 -c 2 -b 16 "$work/signal.wav" synth $seconds \
    sine 220-440 sine 330-660 pinknoise tremolo 2 40 vol 0.5 >/dev/null 2>&1
lame --quiet -b 128 -m j "$work/signal.wav" "$work/cbr128.mp3"
lame --quiet -V 2 "$work/signal.wav" "$work/vbr2.mp3"
sox "$work/signal.wav" -r 22050 "$work/signal22.wav" >/dev/null 2>&1
lame --quiet -b 64 "$work/signal22.wav" "$work/mpeg2.mp3"
twolame --quiet -b 192 "$work/signal.wav" "$work/layer2.mp2"

# Wall seconds (to the microsecond: /usr/bin/time rounds to hundredths) and peak kilobytes
# of one command; the best of three runs, as other work on the machine only slows a run.
measure() {
    best=""
    for run in 1 2 3; do
        start=$(date +%s.%N)
        /usr/bin/time -f "%M" -o "$work/time" "$@" >/dev/null 2>&1
        end=$(date +%s.%N)
        seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')
        if [ -z "$best" ] || awk -v s="$seconds" -v b="$best" 'BEGIN { exit !(s < b) }'; then best=$seconds; fi
    done
    echo "$best $(cat "$work/time")"
}

printf '%-12s %10s %10s %7s %10s %10s %10s\n' file vortax mpg123 ratio realtime vortax-KiB mpg123-KiB
for file in cbr128.mp3 vbr2.mp3 mpeg2.mp3 layer2.mp2; do
    set -- $(measure "$decoder" "$work/$file" "$work/out-vortax.wav")
    ours=$1 ourMemory=$2
    set -- $(measure mpg123 -q -w "$work/out-mpg123.wav" "$work/$file")
    theirs=$1 theirMemory=$2
    awk -v f="$file" -v a="$ours" -v b="$theirs" -v s=$seconds -v am="$ourMemory" -v bm="$theirMemory" 'BEGIN {
        printf "%-12s %9.3fs %9.3fs %7.2f %9.0fx %10d %10d\n", f, a, b, (b > 0 ? a / b : 0), (a > 0 ? s / a : 0), am, bm }'
done

puller=$(cd "$build/bin" && pwd)/vortax-pull-bench
[ -x "$puller" ] || exit 0
for encoding in s16 f32; do
    set -- $(measure "$puller" "$work/cbr128.mp3" $encoding)
    echo "vortax_read $encoding into 64 KiB, cbr128.mp3: ${1}s ${2} KiB"
done
