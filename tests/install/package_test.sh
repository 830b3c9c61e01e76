#!/bin/sh
# Lists the Debian packages built into PACKAGES, checks what they hold and need, and, as
# root, installs the programs' package, runs it and removes it again.
#   package_test.sh PACKAGES SOURCE
set -eu
packages=$1 source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package test: $*" >&2; exit 1; }
. "$(dirname "$0")/game_plays.sh"

package=$(ls "$packages"/kelvorodx-tunepress_*.deb)
dev=$(ls "$packages"/libvortax-dev_*.deb)
dpkg-deb -c "$dev" > "$work/dev-contents"
for path in usr/include/vortax.h usr/lib/libvortax.a usr/lib/pkgconfig/vortax.pc usr/lib/cmake/vortax/vortaxConfig.cmake; do
    grep -q " \./$path\$" "$work/dev-contents" || fail "the -dev package lacks /$path"
done
dpkg-deb -f "$dev" Depends | grep -q "\(^\|, \)libsoxr-dev\( \|,\|$\)" || fail "the -dev package does not depend on libsoxr-dev"

name=$(dpkg-deb -f "$package" Package)
echo "$package:"
dpkg-deb -c "$package" | tee "$work/contents"
if grep -q "vortax\.h\|libvortax" "$work/contents"; then fail "the program package holds the engine's files"; fi

for path in usr/bin/kelvoro usr/bin/tunepress usr/bin/vortax-decode \
            usr/share/kelvoro/kv001.bmp usr/share/kelvoro/kvtheme.wav usr/share/kelvoro/ComicNeue-Regular.otf \
            usr/share/applications/kelvoro.desktop usr/share/applications/tunepress.desktop \
            usr/share/icons/hicolor/48x48/apps/kelvoro.png usr/share/icons/hicolor/48x48/apps/tunepress.png \
            usr/share/man/man6/kelvoro.6.gz usr/share/man/man1/tunepress.1.gz usr/share/man/man1/vortax-decode.1.gz; do
    grep -q " \./$path\( ->\|$\)" "$work/contents" || fail "the package lacks /$path"
done
if grep -v ' \./usr/' "$work/contents" | grep -qv ' \./$'; then fail "the package puts files outside /usr"; fi
if awk '$2 != "root/root"' "$work/contents" | grep -q .; then fail "the package holds files not owned by root"; fi

depends=$(dpkg-deb -f "$package" Depends)
echo "Depends: $depends"
for needed in libsdl2-2.0-0 libsdl2-mixer-2.0-0 libsdl2-ttf-2.0-0 libqt6widgets6 libasound2 libsoxr0 fonts-comic-neue qt6-qpa-plugins; do
    echo "$depends" | grep -q "\(^\|, \)$needed\( \|,\|$\)" || fail "the package does not depend on $needed"
done

if [ "$(id -u)" -ne 0 ]; then
    echo "SKIPPED: installing the package needs root"
    exit 77
fi
if dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q "ok installed"; then
    echo "SKIPPED: $name is installed on this machine already; it is left alone"
    exit 77
fi
trap 'dpkg -r "$name" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
dpkg -i "$package" >/dev/null
dpkg-query -L "$name" > "$work/files"
game_plays /usr/bin/kelvoro "$source" "$work"
/usr/bin/tunepress --version >/dev/null || fail "the packaged tunepress does not run"
/usr/bin/vortax-decode --version >/dev/null || fail "the packaged vortax-decode does not run"
# (A machine that keeps no manuals has dpkg leave them out.)
[ ! -e /usr/share/man/man6/kelvoro.6.gz ] || man -w kelvoro >/dev/null || fail "man does not find kelvoro's manual"

dpkg -r "$name" >/dev/null
if dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q "ok installed"; then fail "$name is still installed"; fi
while read -r path; do
    [ -d "$path" ] && continue
    [ -e "$path" ] || [ -L "$path" ] && fail "$path is left behind"
done < "$work/files"
[ ! -e /usr/share/kelvoro ] || fail "/usr/share/kelvoro is left behind"
echo "$name installs, runs and removes cleanly"
