#!/bin/sh
# The engine as another program uses it: installed alone (the "dev" component), its header
# compiled as plain C99, and the example clients built once through pkg-config and once
# through find_package(vortax): decode_to_wav writes the very WAV file vortax-decode writes,
# seek_and_tags its samples as floats from one on.   engine_client_test.sh BUILD SOURCE STREAM
set -eu
build=$1
source=$2
stream=$3
command -v cc >/dev/null && command -v pkg-config >/dev/null || exit 77
[ -f "$stream" ] || exit 77
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "$*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/prefix" --component dev >/dev/null
cc -std=c99 -Wall -Wextra -pedantic -Werror -fsyntax-only -x c "$work/prefix/include/vortax.h" ||
    fail "vortax.h is not plain C99"

pc=$(find "$work/prefix" -name vortax.pc)
[ -n "$pc" ] || fail "no vortax.pc installed"
PKG_CONFIG_PATH=$(dirname "$pc")
export PKG_CONFIG_PATH
# shellcheck disable=SC2046
cc -std=c99 -Wall -Wextra -pedantic -Werror "$source/examples/decode_to_wav.c" \
    $(pkg-config --static --cflags --libs vortax) -o "$work/by-pkg-config"
# shellcheck disable=SC2046
cc -std=c99 -Wall -Wextra -pedantic -Werror "$source/examples/seek_and_tags.c" \
    $(pkg-config --static --cflags --libs vortax) -o "$work/seek_and_tags"

cmake -S "$source/examples" -B "$work/client" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/client" >/dev/null
cp "$work/client/decode_to_wav" "$work/by-find-package"

"$build/bin/vortax-decode" "$stream" "$work/expected.wav" >/dev/null 2>&1
for client in by-pkg-config by-find-package; do
    "$work/$client" "$stream" "$work/$client.wav" || fail "$client failed"
    cmp "$work/expected.wav" "$work/$client.wav" || fail "$client wrote another WAV file than vortax-decode"
done

# One second of floats from sample 1000 on, each within 1 of the WAV file's unclipped sample.
channels=$(od -An -tu2 -j22 -N2 "$work/expected.wav" | tr -d ' ') rate=$(od -An -tu4 -j24 -N4 "$work/expected.wav" | tr -d ' ')
od -An -v -td2 -w2 -j $((44 + 1000 * channels * 2)) -N $((rate * channels * 2)) "$work/expected.wav" > "$work/wav.txt"
for client in seek_and_tags client/seek_and_tags; do
    "$work/$client" "$stream" 1000 "$work/$client.f32" > "$work/tags.txt" || fail "$client failed"
    grep -q '^length: [0-9]* samples' "$work/tags.txt" || fail "$client printed no length"
    [ "$(stat -c %s "$work/$client.f32")" -eq $((rate * channels * 4)) ] || fail "$client wrote another length than one second"
    od -An -v -tf4 -w4 "$work/$client.f32" | paste - "$work/wav.txt" |
        awk '{ d = $1 * 32768 - $2 } $2 > -32768 && $2 < 32767 && (d > 1 || d < -1) { bad++ } END { exit bad > 0 }' ||
        fail "$client wrote other samples than the WAV file's from sample 1000"
done
