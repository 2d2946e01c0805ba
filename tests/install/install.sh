#!/bin/bash
# `make install` with DESTDIR and a prefix of its own: the program, the help
# file and the manual page land under DESTDIR/PREFIX, the program looks for
# its help file under PREFIX (not under DESTDIR, and not under the default
# prefix), and the manual page reads cleanly with `man -l`.
# Arguments: the source tree, and a build directory for this test alone.
set -u
src=${1:?usage: install.sh source-dir build-dir}
build=${2:?usage: install.sh source-dir build-dir}
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

prefix=/opt/vorn-install-test
dest=$tmp/dest
# Tests are not needed to install; a configured directory is kept as it is.
[ -f "$build/CMakeCache.txt" ] ||
    cmake -S "$src" -B "$build" -DVORN_TESTS=OFF -DCMAKE_BUILD_TYPE=Debug > "$tmp/configure.log" 2>&1 ||
    { cat "$tmp/configure.log"; exit 1; }
if ! make -C "$src" install BUILD="$build" PREFIX="$prefix" DESTDIR="$dest" JOBS=2 \
        > "$tmp/make.log" 2>&1; then
    cat "$tmp/make.log"
    exit 1
fi

root=$dest$prefix
[ -x "$root/bin/vorn" ] || fail "no program at $root/bin/vorn"
cmp -s "$root/share/misc/zarb-vorn.help" "$src/doc/vorn.help" ||
    fail "help file missing or not the one of the source tree"
cmp -s "$root/share/man/man1/vorn.1" "$src/doc/vorn.1" ||
    fail "manual page missing or not the one of the source tree"
leftover=$(cd "$dest" && find . -type f | grep -v -e "^.$prefix/bin/vorn\$" \
    -e "^.$prefix/share/misc/zarb-vorn.help\$" -e "^.$prefix/share/man/man1/vorn.1\$")
[ -z "$leftover" ] || fail "unexpected files installed: $leftover"

# The path the program will open is compiled in from the prefix.
grep -q -a -F "$prefix/share/misc/zarb-vorn.help" "$root/bin/vorn" ||
    fail "the program does not look for $prefix/share/misc/zarb-vorn.help"
grep -q -a -F "/usr/local/share/misc/zarb-vorn.help" "$root/bin/vorn" &&
    fail "the program still names the default help file"

version=$("$root/bin/vorn" --version) || fail "--version failed"
[[ $version == "vorn "[0-9]* ]] || fail "--version printed: $version"

# The manual page: no formatter warnings, and the sections a reader needs.
page=$(MANWIDTH=80 man --warnings -l "$root/share/man/man1/vorn.1" 2> "$tmp/warnings")
[ -s "$tmp/warnings" ] && fail "man -l warns: $(cat "$tmp/warnings")"
for section in NAME SYNOPSIS OPTIONS "RUN MODES" "DEFAULT KEYS" \
        "THE COMMAND LANGUAGE" ENVIRONMENT FILES "EXIT STATUS"; do
    grep -q "^$section\$" <<< "$page" || fail "manual page lacks the section $section"
done

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "install: all checks passed"
