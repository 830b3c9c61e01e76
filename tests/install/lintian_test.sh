#!/bin/sh
# Has lintian check both Debian packages built into PACKAGES: an error (E:) fails, warnings
# are printed for whoever reads the log.   lintian_test.sh PACKAGES
set -eu
packages=$1
if ! command -v lintian >/dev/null || ! command -v dpkg-deb >/dev/null; then
    echo "SKIPPED: lintian and dpkg-deb are needed"
    exit 77
fi
set -- "$packages"/kelvorodx-tunepress_*.deb "$packages"/libvortax-dev_*.deb
for package; do [ -f "$package" ] || { echo "no $package was built" >&2; exit 1; }; done

# lintian exits 2 when it finds errors, 1 when it could not check at all.
status=0
report=$(lintian --tag-display-limit 0 "$@" 2>&1) || status=$?
printf '%s\n' "$report"
if [ "$status" -eq 2 ] || printf '%s\n' "$report" | grep -q "^E: "; then
    echo "lintian reports errors" >&2
    exit 1
fi
[ "$status" -eq 0 ] || { echo "lintian failed to run (status $status)" >&2; exit 1; }
