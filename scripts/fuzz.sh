#!/usr/bin/env bash
# Usage: scripts/fuzz.sh [SECONDS [TARGET...]]
# Builds the libFuzzer targets in build-fuzz (clang++, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs each target (all by default) for
# SECONDS (60 by default), starting from a copy of its seed corpus so that the
# repository stays as it is. Fails on any crash, leak, time-out or sanitizer
# report, and prints each input that caused one in base64: every such input
# becomes a regression test in tests/unit/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(parse_options classify_datagram route_report)
fi

cmake -S . -B build-fuzz -DQPING_FUZZ=ON -DQPING_TESTS=OFF -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-fuzz -j2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failed=0
for target in "${targets[@]}"; do
    corpus="$work/$target/corpus"
    findings="$work/$target/findings"
    mkdir -p "$findings"
    cp -r "fuzz/corpus/$target" "$corpus"
    echo "== fuzz_$target for ${seconds}s"
    if ! "build-fuzz/fuzz/fuzz_$target" "$corpus" -max_total_time="$seconds" -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$findings/" >"$work/$target/log" 2>&1; then
        tail -n 80 "$work/$target/log"
        for input in "$findings"/*; do
            echo "input that failed, $(basename "$input"), in base64:"
            base64 "$input"
        done
        failed=$((failed + 1))
    fi
    grep -E '^#[0-9]+[[:space:]]+DONE' "$work/$target/log" || true
    echo "corpus: $(find "$corpus" -type f | wc -l) inputs"
done
echo "fuzz: $((${#targets[@]} - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
