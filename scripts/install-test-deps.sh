#!/usr/bin/env bash
# Installs, on Debian 12 as root, everything the build and the tests use.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends \
    cmake make g++ libgtest-dev googletest libbenchmark-dev \
    python3 iproute2 iputils-ping procps \
    dpkg-dev libcap2-bin groff-base man-db
