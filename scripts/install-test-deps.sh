#!/usr/bin/env bash
# Installs, on Debian 12 as root, everything the build and the tests use.
# clang and libclang-rt-14-dev build the fuzz targets (libFuzzer), valgrind
# checks memory, libcap2-bin gives test copies of the binary a capability.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends \
    cmake make g++ libgtest-dev googletest libbenchmark-dev \
    python3 iproute2 iputils-ping procps \
    clang libclang-rt-14-dev valgrind libcap2-bin
