#!/bin/sh
# Make sure the Debian packages the build and the tests need are installed.
# As root, missing packages are installed with apt-get; otherwise the exact
# command to run is printed and the step fails.  With the argument "bench",
# the packages of the benchmark suite (its peer pager, Google Benchmark).
set -e
packages="g++ make cmake pkg-config libncurses-dev libgtest-dev libgmock-dev libvterm-dev global man-db"
if [ "$1" = bench ]; then
    packages="less libbenchmark-dev python3"
fi
missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" = 0 ]; then
    echo "installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq $missing
else
    echo "missing packages; run as root:" >&2
    echo "  apt-get update && apt-get install -y$missing" >&2
    exit 1
fi
