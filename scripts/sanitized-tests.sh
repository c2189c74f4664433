#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan and runs every test against that build, the end-to-end ones
# included. Any sanitizer report fails, also one from a process whose exit
# status a test does not look at: reports go to files, collected at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build-asan -DQPING_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-asan -j2

reports=$(mktemp -d)
trap 'rm -rf "$reports"' EXIT
# Tests also run the binary as an unprivileged user, who must be able to write
# a report.
chmod 1777 "$reports"
export ASAN_OPTIONS="detect_leaks=1:log_path=$reports/asan"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$reports/ubsan"

status=0
ctest --test-dir build-asan -j2 --output-on-failure || status=1
if [ -n "$(ls -A "$reports")" ]; then
    echo "Sanitizer reports:"
    for report in "$reports"/*; do
        echo "== $report"
        cat "$report"
    done
    status=1
fi
exit $status
