#!/bin/sh
# Make sure the Debian packages a target needs are installed, and nothing
# more: "build" (the program alone; the default), "test" (the test suite),
# "fuzz" (the fuzz target, built with clang and its fuzzing runtime) or
# "bench" (the benchmark suite: its peer pager, Google Benchmark).
#
# Once a set is found complete, a stamp in the build directory records it,
# so that later runs need no dpkg-query; the stamp goes with the build
# directory (make clean) and counts for nothing once the list changes.
# As root, missing packages are installed with apt-get; otherwise the exact
# command to run is printed and the step fails.  This script is the one
# place that installs anything.
set -e
case "${1:-build}" in
build)
    packages="g++ make cmake pkg-config libncurses-dev libhyperscan-dev zlib1g-dev liblzma-dev libbz2-dev libzstd-dev"
    stamp=build/deps.stamp
    ;;
test)
    # libvterm (found with pkg-config): the screen tests read the screen
    # back through it; global: the tags tests run the real GNU GLOBAL;
    # man-db: the manual page is checked with man, and a page man renders
    # (groff) is shown in the UTF-8 screen tests
    packages="g++ make cmake pkg-config libncurses-dev libhyperscan-dev zlib1g-dev liblzma-dev libbz2-dev libzstd-dev libgtest-dev libvterm-dev global man-db groff-base"
    stamp=build/deps-test.stamp
    ;;
fuzz)
    packages="make cmake pkg-config libncurses-dev libhyperscan-dev zlib1g-dev liblzma-dev libbz2-dev libzstd-dev clang libclang-rt-dev"
    stamp=build-fuzz/deps.stamp
    ;;
bench)
    packages="less libbenchmark-dev python3"
    stamp=build-bench/deps.stamp
    ;;
*)
    echo "usage: sh scripts/deps.sh [build|test|fuzz|bench]" >&2
    exit 2
    ;;
esac
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$packages" ]; then
    exit 0
fi
missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
if [ -n "$missing" ]; then
    if [ "$(id -u)" != 0 ]; then
        echo "missing packages; run as root:" >&2
        echo "  apt-get update && apt-get install -y$missing" >&2
        exit 1
    fi
    echo "installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq $missing
fi
mkdir -p "$(dirname "$stamp")"
echo "$packages" > "$stamp"
