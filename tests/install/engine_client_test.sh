#!/bin/sh
# The engine as another program uses it: installed alone (the "dev" component), its header
# compiled as plain C99, and the example client built once through pkg-config and once
# through find_package(vortax), each decoding a stream to the very WAV file vortax-decode
# writes.   engine_client_test.sh BUILD SOURCE STREAM
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

cmake -S "$source/examples" -B "$work/client" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/client" >/dev/null
cp "$work/client/decode_to_wav" "$work/by-find-package"

"$build/bin/vortax-decode" "$stream" "$work/expected.wav" >/dev/null 2>&1
for client in by-pkg-config by-find-package; do
    "$work/$client" "$stream" "$work/$client.wav" || fail "$client failed"
    cmp "$work/expected.wav" "$work/$client.wav" || fail "$client wrote another WAV file than vortax-decode"
done
