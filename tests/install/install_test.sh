#!/bin/sh
# Installs the build into a temporary prefix and runs the installed programs from there.
#   install_test.sh BUILD SOURCE CONFORMANCE
set -eu
build=$1 source=$2 conformance=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "install test: $*" >&2; exit 1; }
. "$(dirname "$0")/game_plays.sh"

cmake --install "$build" --prefix "$prefix" >/dev/null

# What goes where.
for program in kelvoro tunepress vortax-decode; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program is missing"
done
data=$prefix/share/kelvoro
[ "$(ls "$data" | grep -c '\.bmp$')" -eq 38 ] || fail "share/kelvoro holds $(ls "$data" | grep -c '\.bmp$') pictures, not 38"
[ "$(ls "$data" | grep -c '\.wav$')" -eq 17 ] || fail "share/kelvoro holds $(ls "$data" | grep -c '\.wav$') sounds, not 17"
[ -r "$data/ComicNeue-Regular.otf" ] || fail "the font in share/kelvoro cannot be read"
for size in 16 24 32 48 64 128 256; do
    for icon in kelvoro tunepress; do
        [ -s "$prefix/share/icons/hicolor/${size}x$size/apps/$icon.png" ] || fail "no $size-pixel $icon icon"
    done
done
for entry in kelvoro tunepress; do
    [ -f "$prefix/share/applications/$entry.desktop" ] || fail "no desktop entry for $entry"
done
for page in man6/kelvoro.6 man1/tunepress.1 man1/vortax-decode.1; do
    [ -f "$prefix/share/man/$page.gz" ] || fail "no manual page $page"
done

# Every program answers --help and --version; the versions are the programs' own.
for program in kelvoro tunepress vortax-decode; do
    "$prefix/bin/$program" --help | grep -q "^usage: $program" || fail "$program --help"
done
engine=$("$prefix/bin/vortax-decode" --version | sed -n 's/^vortax-decode, VORTAX engine \([0-9.]*\)$/\1/p')
[ -n "$engine" ] || fail "vortax-decode --version says '$("$prefix/bin/vortax-decode" --version)'"
[ "$("$prefix/bin/tunepress" --version)" = "tunepress 1.25, VORTAX engine $engine" ] ||
    fail "tunepress --version says '$("$prefix/bin/tunepress" --version)'"
"$prefix/bin/kelvoro" --version | grep -qx 'kelvoro [0-9]*\.[0-9]*\.[0-9]*' || fail "kelvoro --version"

# The game, headless and on screen: on screen it must find its files in share/kelvoro.
game_plays "$prefix/bin/kelvoro" "$source" "$prefix"
rm "$data/kvinfo.wav"
if SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy "$prefix/bin/kelvoro" --windowed --frames 3 --screenshot "$prefix/none.bmp" 2>"$prefix/error.txt"; then
    fail "the game starts without its sound kvinfo.wav"
fi
grep -q "$data/kvinfo.wav" "$prefix/error.txt" || fail "the missing sound is not named: $(cat "$prefix/error.txt")"

# The installed decoder decodes like the built one.
stream=$conformance/l3-compl.bit
if [ ! -f "$stream" ]; then
    echo "SKIPPED: the conformance streams are not in $conformance"
    exit 77
fi
"$prefix/bin/vortax-decode" "$stream" "$prefix/installed.wav" 2>/dev/null
"$build/bin/vortax-decode" "$stream" "$prefix/built.wav" 2>/dev/null
cmp -s "$prefix/installed.wav" "$prefix/built.wav" || fail "the installed vortax-decode decodes differently"
expected=$(awk '$1 == "l3-compl" { print 44 + 2 * $7 }' "$conformance/MANIFEST.tsv")
[ "$(wc -c < "$prefix/installed.wav")" -eq "$expected" ] || fail "the installed vortax-decode wrote the wrong length"
echo "installed into a temporary prefix: every program runs from there"
