#!/usr/bin/env bash
# Installs what the tests need, builds, and runs every test. Run as root on
# Debian 12: the end-to-end tests open raw sockets and make network namespaces.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-test-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
ctest --test-dir build -j2 --output-on-failure

# The same tests against a build with AddressSanitizer and
# UndefinedBehaviorSanitizer.
scripts/sanitized-tests.sh

# Each fuzz target for a minute.
scripts/fuzz.sh 60
