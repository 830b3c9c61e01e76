# Sourced by the scripts that decode the conformance streams: needs_conformance FOLDER
# skips the test (exit 77) in a checkout that has no streams there.
needs_conformance() {
    [ -d "$1" ] || { echo "no conformance streams at $1"; exit 77; }
}
