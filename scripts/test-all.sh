#!/usr/bin/env bash
# Installs what the tests need, builds, and runs every test. Run as root on
# Debian 12: the end-to-end tests open raw sockets and make network namespaces.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-test-deps.sh
# Every test against a build with AddressSanitizer and
# UndefinedBehaviorSanitizer, then each fuzz target for a minute.
scripts/sanitized-tests.sh
scripts/fuzz.sh 60

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQPING_TESTS=ON -DQPING_BENCH=ON
cmake --build build -j2
# Installs and purges the Debian package, so it runs on its own, before the
# tests that ctest runs side by side (whose summary then closes the log).
scripts/check-package.sh build
ctest --test-dir build -j2 --output-on-failure
scripts/test-windows.sh

# Benchmarks are not tests: nothing is timed here. Each script runs once on
# its smallest setting, so that a script that no longer runs is noticed.
python3 bench/run_all.py --quick --output build/bench-quick.md
