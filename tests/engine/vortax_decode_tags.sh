#!/bin/sh
# ID3v2 and ID3v1 tags are listed by --scan and carried into the WAV file, unless --no-tags.
set -eu
. "$(dirname "$0")/../support/needs_conformance.sh"
needs_conformance "$2"
{ printf 'ID3\3\0\0\0\0\0\20TIT2\0\0\0\6\0\0\0Intro' && cat "$2/l2-fl10.bit" &&
  printf 'TAG%-30s%-30s%-30s%-4s%-30s\21' '' Band '' 2020 ''; } > tagged.mp2
"$1" --scan tagged.mp2 | tail -n +3 > tags.txt
printf 'title: Intro\nartist: Band\ndate: 2020\ngenre: Rock\n' | cmp -s - tags.txt
test "$("$1" --no-tags --scan tagged.mp2 | wc -l)" -eq 2
"$1" tagged.mp2 2>/dev/null
LC_ALL=C grep -qa 'INFOINAM' tagged.wav
"$1" --no-tags tagged.mp2 plain.wav 2>/dev/null
test $(stat -c %s plain.wav) -eq $((44 + 112896 * 2))
