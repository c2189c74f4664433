#!/usr/bin/env bash
# Usage: memcheck.sh QPING TARGET. A two-request loopback run under valgrind's
# memcheck must show no invalid access, no use of uninitialised memory and no
# leak of any kind, and still handle a reply.
set -uo pipefail
qping=$1
target=$2
if ! command -v valgrind >/dev/null; then
    echo "valgrind is not installed"
    exit 77
fi
output=$(valgrind -q --error-exitcode=1 --leak-check=full --show-leak-kinds=all \
    --errors-for-leak-kinds=all "$qping" -c 2 "$target" 2>&1)
status=$?
printf '%s\n' "$output"
if [ "$status" -ne 0 ]; then
    echo "FAIL: status $status under memcheck"
    exit 1
fi
# The reply path must have run. One reply is enough: the raw socket also
# receives every other ICMP message on the host, and a burst of them can crowd
# out a reply of this slowed-down process.
if ! grep -q ": bytes=32 time" <<<"$output"; then
    echo "FAIL: no reply line"
    exit 1
fi
