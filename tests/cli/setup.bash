# Sourced by the command-line tests with the program's path as $1: sets
# $vorn (absolute), $tmp (a directory removed at exit), `fail` to record a
# failure with a clear line and `finish` to exit non-zero after any.
set -u
vorn=$(realpath "${1:?usage: test.sh path-to-vorn}")
[ -x "$vorn" ] || { echo "FAIL: no program at $1"; exit 1; }
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
finish() {
    [ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
    exit 0
}
