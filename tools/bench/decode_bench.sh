#!/bin/bash
# Times vortax-decode against mpg123 and FFmpeg on the same five-minute signal encoded
# seven ways: 128 kbit/s joint-stereo MP3, VBR quality 2 MP3, 320 kbit/s MP3, 22.05 kHz
# MPEG-2 MP3, 11.025 kHz MPEG-2.5 MP3, 96 kbit/s mono MP3 and 192 kbit/s layer II.
#   tools/bench/decode_bench.sh [BUILD] [RUNS]   (default BUILD: build/release, RUNS: 5)
# The programs run in turn, one run each at a time, so that a machine whose speed drifts
# slows them alike; each figure is the median of RUNS wall times, each ratio the median of
# the runs' ratios. First to a WAV file (vortax-decode IN OUT.wav, mpg123 -q -w OUT IN,
# ffmpeg -i IN OUT.wav), then decoding to nowhere (vortax-decode IN raw:/dev/null,
# mpg123 -q -s IN > /dev/null); then, when built, vortax_read into a 64 KiB buffer
# (vortax-pull-bench) on the 128 kbit/s file. Needs the Debian packages sox, lame, twolame
# and mpg123; FFmpeg's column is left out without ffmpeg.
set -eu
export LC_ALL=C  # a decimal point in the clock's readings
build=${1:-build/release}
runs=${2:-5}
decoder=$(cd "$build/bin" && pwd)/vortax-decode
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seconds=300

# Music-like material: a chord that wanders, a little noise, a beat.
sox -n -r 44100 -c 2 -b 16 "$work/signal.wav" synth $seconds \
    sine 220-440 sine 330-660 pinknoise tremolo 2 40 vol 0.5 >/dev/null 2>&1
sox "$work/signal.wav" -r 22050 "$work/signal22.wav" >/dev/null 2>&1
sox "$work/signal.wav" -r 11025 "$work/signal11.wav" >/dev/null 2>&1
sox "$work/signal.wav" -c 1 "$work/mono.wav" >/dev/null 2>&1
lame --quiet -b 128 -m j "$work/signal.wav" "$work/cbr128.mp3"
lame --quiet -V 2 "$work/signal.wav" "$work/vbr2.mp3"
lame --quiet -b 320 "$work/signal.wav" "$work/cbr320.mp3"
lame --quiet -b 64 "$work/signal22.wav" "$work/mpeg2.mp3"
lame --quiet -b 32 "$work/signal11.wav" "$work/mpeg25.mp3"
lame --quiet -b 96 -m m "$work/mono.wav" "$work/mono96.mp3"
twolame --quiet -b 192 "$work/signal.wav" "$work/layer2.mp2"
command -v ffmpeg >/dev/null && ffmpeg=yes || ffmpeg=no

# Wall seconds of one command, its output thrown away. The clock is read by the shell
# itself: a process to read it would add its own start-up to every figure. Each command
# writes a new file: the last one's output is removed first, as freeing a file of tens of
# megabytes costs whichever program replaces it a few milliseconds that vary from run to
# run.
out=$work/out
mkdir "$out"
wall() {
    rm -f "$out"/*
    local start=$EPOCHREALTIME
    "$@" >/dev/null 2>&1
    local end=$EPOCHREALTIME
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f\n", b - a }'
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

# One file: RUNS rounds of each command in turn (A, B[, C]) into $work/times, one line a
# round: A B [C].
rounds() {
    : > "$work/times"
    for run in $(seq "$runs"); do
        line="$(wall sh -c "exec $1") $(wall sh -c "exec $2")"
        [ -n "${3:-}" ] && line="$line $(wall sh -c "exec $3")"
        echo "$line" >> "$work/times"
    done
}
column() { awk -v c="$1" '{ print $c }' "$work/times" | median; }
ratio() { awk -v a="$1" -v b="$2" '{ print $a / $b }' "$work/times" | median; }

echo "To a WAV file: median wall seconds of $runs runs, and the median ratios"
printf '%-11s %9s %9s %9s %13s %13s\n' file vortax mpg123 ffmpeg vortax/mpg123 vortax/ffmpeg
for file in cbr128.mp3 vbr2.mp3 cbr320.mp3 mpeg2.mp3 mpeg25.mp3 mono96.mp3 layer2.mp2; do
    in=$work/$file
    theirs=""
    [ $ffmpeg = yes ] && theirs="ffmpeg -nostdin -loglevel error -y -i $in $out/f.wav"
    rounds "$decoder $in $out/v.wav" "mpg123 -q -w $out/m.wav $in" "$theirs"
    if [ $ffmpeg = yes ]; then
        printf '%-11s %8.3fs %8.3fs %8.3fs %13.2f %13.2f\n' $file "$(column 1)" "$(column 2)" "$(column 3)" \
            "$(ratio 1 2)" "$(ratio 1 3)"
    else
        printf '%-11s %8.3fs %8.3fs %9s %13.2f %13s\n' $file "$(column 1)" "$(column 2)" - "$(ratio 1 2)" -
    fi
done

echo "Decoding to nowhere"
printf '%-11s %9s %9s %13s\n' file vortax mpg123 vortax/mpg123
for file in cbr128.mp3 layer2.mp2; do
    in=$work/$file
    rounds "$decoder $in raw:/dev/null" "mpg123 -q -s $in > /dev/null"
    printf '%-11s %8.3fs %8.3fs %13.2f\n' $file "$(column 1)" "$(column 2)" "$(ratio 1 2)"
done

puller=$(cd "$build/bin" && pwd)/vortax-pull-bench
[ -x "$puller" ] || exit 0
for encoding in s16 f32; do
    rounds "$puller $work/cbr128.mp3 $encoding" true
    echo "vortax_read $encoding into 64 KiB, cbr128.mp3: $(column 1)s"
done
