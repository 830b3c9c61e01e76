#!/bin/bash
# Decodes the kinds of file people really have with vortax-decode and with mpg123, with and
# without gapless trimming, and prints per kind both lengths (samples per channel) and the
# largest difference of one sample.
#   tools/bench/agree_mpg123.sh [BUILD]      (default BUILD: build/release)
# Needs the Debian packages sox, lame, twolame and mpg123; ffmpeg's files are added when
# ffmpeg is there.
set -eu
build=${1:-build/release}
decoder=$(cd "$build/bin" && pwd)/vortax-decode
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

sox -n -r 44100 -c 2 -b 16 signal.wav synth 3.3 sine 440 sine 660 vol 0.5 >/dev/null 2>&1
sox signal.wav -r 22050 -c 1 signal22.wav >/dev/null 2>&1
lame --quiet -b 128 signal.wav cbr.mp3
lame --quiet -V 2 signal.wav vbr.mp3
lame --quiet -b 48 signal22.wav mono22.mp3
lame --quiet --freeformat -b 200 signal.wav free.mp3 2>/dev/null || true
twolame --quiet -b 192 signal.wav layer2.mp2
if command -v ffmpeg >/dev/null; then
    ffmpeg -v quiet -i signal.wav -c:a libmp3lame -b:a 128k ff.mp3
    ffmpeg -v quiet -i signal22.wav -c:a libmp3lame -b:a 48k ffmono22.mp3
fi

# Tags: an ID3v2 tag with a large picture-like body before the audio; an APE tag, a
# Lyrics3 block and an ID3v1 tag after it.
syncsafe() { printf "\\$(printf %03o $(($1 >> 21 & 127)))\\$(printf %03o $(($1 >> 14 & 127)))\\$(printf %03o $(($1 >> 7 & 127)))\\$(printf %03o $(($1 & 127)))"; }
{ printf 'ID3\004\000\000'; syncsafe 100000; head -c 100000 /dev/urandom; } > id3v2.bin
{ printf 'APETAGEX\320\007\000\000\040\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000'; } > ape.bin
{ printf 'LYRICSBEGININD00002\000\000'; printf '000021LYRICS200'; } > lyrics.bin
{ printf 'TAG'; head -c 125 /dev/zero; } > id3v1.bin
cat id3v2.bin cbr.mp3 ape.bin lyrics.bin id3v1.bin > tagged.mp3
cat cbr.mp3 id3v1.bin vbr.mp3 > joined.mp3
cat cbr.mp3 mono22.mp3 > formats.mp3
{ cat cbr.mp3; head -c 3000 /dev/zero; } > trailing.mp3

length() { soxi -s "$1" 2>/dev/null || echo -; }
# The largest difference of one sample between two WAV files of one format.
difference() {
    sox -m -v 1 "$1" -v -1 "$2" -n stat 2>&1 | awk '/Maximum amplitude/ { printf "%.0f", $3 * 32768 }' || echo -
}

printf '%-14s %-9s %10s %10s %6s\n' file gapless vortax mpg123 diff
for file in *.mp3 *.mp2; do
    for mode in on off; do
        flag=; [ $mode = off ] && flag=--no-gapless
        "$decoder" $flag "$file" ours.wav 2>/dev/null || rm -f ours.wav
        mpg123 -q $flag -w theirs.wav "$file" 2>/dev/null || rm -f theirs.wav
        printf '%-14s %-9s %10s %10s %6s\n' "$file" $mode "$(length ours.wav)" "$(length theirs.wav)" \
            "$( [ -e ours.wav ] && [ -e theirs.wav ] && difference ours.wav theirs.wav || echo -)"
        rm -f ours.wav theirs.wav
    done
done
# Standard input: the stream cannot seek, and the tag frame still counts.
"$decoder" - ours.wav < cbr.mp3 2>/dev/null
mpg123 -q -w theirs.wav - < cbr.mp3 2>/dev/null
printf '%-14s %-9s %10s %10s %6s\n' "stdin cbr.mp3" on "$(length ours.wav)" "$(length theirs.wav)" "$(difference ours.wav theirs.wav)"
