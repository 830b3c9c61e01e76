#!/bin/sh
# The engine archive defines no global name but the ones its public header declares: a
# client with a function called, say, Synthesize must neither clash with the engine nor
# get the engine's. Internal names live in namespace vortax; the weak copies of standard
# library templates are allowed, being the library's names and the same code wherever
# they are emitted.   global_symbols.sh HEADER ARCHIVE
set -eu
header=$1
archive=$2
command -v nm >/dev/null || { echo "no nm"; exit 77; }
[ -f "$header" ] && [ -f "$archive" ] || { echo "no $header or $archive"; exit 77; }

# Functions and objects at the header's top level (members are indented, typedefs skipped).
public=$(sed -n -e '/^typedef/d' \
    -e 's/^extern const [A-Za-z_][A-Za-z0-9_]* \([A-Za-z_][A-Za-z0-9_]*\);.*/\1/p' \
    -e 's/^[A-Za-z_][A-Za-z0-9_ *]*[ *]\([A-Za-z_][A-Za-z0-9_]*\)(.*/\1/p' "$header" | sort -u)
# A parse that lost the header's names would pass anything.
for name in engine_create engine_decode_frame error_name vortax_output_get_buffer FileInputModule; do
    echo "$public" | grep -qx "$name" || { echo "could not read $name from $header"; exit 1; }
done

symbols=$(nm --defined-only -g --format=posix "$archive" | awk 'NF >= 2 && $2 ~ /^[A-Za-z]$/ { print $1, $2 }' | sort -u)
[ -n "$symbols" ] || { echo "nm lists nothing in $archive"; exit 1; }

status=0
# The header's names themselves must be there, with C linkage (unmangled).
for name in $public; do
    echo "$symbols" | grep -q "^$name [TDRB]\$" || { echo "not defined: $name"; status=1; }
done

ours='_Z(N|NK|TVN|TIN|TSN|GVN|GVZN|ZN|Th[nv][0-9_n]*N)6vortax'
# Weak symbols are the inline code of templates and classes, emitted wherever it is used:
# allowed when they are the standard library's (std::, its allocator, __gnu_cxx, placement
# new and delete) or belong to a type the header declares (mangled by its length and name).
std='_Z((N|NK|NR|NKR|NO|NKO)?(St|Sa|Sb|Ss|Si|So|Sd|9__gnu_cxx)|(GV|TV|TI|TS)(ZN|N)?St|ZN?St|dl|nw|na|da)'
types=$(sed -n 's/.*struct \([A-Za-z_][A-Za-z0-9_]*\).*/\1/p' "$header" | sort -u |
    awk '{ printf "%s%d%s", (NR > 1 ? "|" : ""), length($1), $1 }')
inline="_ZNK?($types)"
others=$(echo "$symbols" | while read -r name type; do
    # The compiler's own markers of a name (the address sanitizer's, the unwinder's).
    bare=${name#DW.ref.}
    bare=${bare#__odr_asan.}
    echo "$public" | grep -qx "$bare" && continue
    [ "$bare" = __gxx_personality_v0 ] && continue
    echo "$bare" | grep -Eq "^$ours" && continue
    case $type in W | V | u) echo "$bare" | grep -Eq "^($std|$inline)" && continue ;; esac
    echo "$name $type"
done)
if [ -n "$others" ]; then
    echo "global symbols the header does not declare:"
    echo "$others"
    status=1
fi
exit $status
