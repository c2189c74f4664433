#!/usr/bin/env bash
# Cross-builds the Windows console program from the same sources, 32-bit
# (the one that ships) and 64-bit, checks both files and runs the 32-bit one
# under Wine in test network namespaces. Run as root on Debian 12 after
# scripts/install-test-deps.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

for target in i686:build-win32 x86_64:build-win64; do
    cmake -S . -B "${target#*:}" -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-${target%%:*}.cmake"
    cmake --build "${target#*:}" -j2
done
python3 tests/windows/smoke_test.py build-win32 build-win64
