#!/usr/bin/env bash
# Installs, on Debian 12 as root, everything the build and the tests use.
# clang and libclang-rt-14-dev build the fuzz targets (libFuzzer), valgrind
# checks memory, libcap2-bin gives test copies of the binary a capability.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
# Wine's 32-bit loader, which runs the 32-bit Windows build, is an i386 package.
dpkg --add-architecture i386
apt-get update -q
apt-get install -y -q --no-install-recommends \
    cmake make g++ libgtest-dev googletest libbenchmark-dev \
    python3 iproute2 iputils-ping procps \
    dpkg-dev libcap2-bin groff-base man-db \
    g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 wine wine32:i386 file \
    clang libclang-rt-14-dev valgrind time tcpdump
