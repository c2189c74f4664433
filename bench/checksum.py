#!/usr/bin/env python3
"""Checksum throughput: runs the checksum_bench micro-benchmarks (Google
Benchmark) and prints their medians as a table.

ChecksumV6 prints two lines per call, so the benchmark's standard output goes
to /dev/null and its results are read from --benchmark_out (JSON).
"""

import argparse
import json
import subprocess
import tempfile

import benchlib

DEFAULT_BINARY = benchlib.REPO / "build" / "bench" / "checksum_bench"
TIMEOUT_S = 300


def results_by_benchmark(report):
    """{(function, bytes): result}, the median aggregate when there is one."""
    chosen = {}
    for result in report["benchmarks"]:
        if result.get("error_occurred"):
            raise SystemExit(f"{result['name']}: {result.get('error_message')}")
        if result.get("run_type") == "aggregate" and result.get("aggregate_name") != "median":
            continue
        function, size = result["run_name"].split("/")
        key = (function.removeprefix("BM_"), int(size))
        if key not in chosen or result.get("run_type") == "aggregate":
            chosen[key] = result
    return chosen


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--binary", default=str(DEFAULT_BINARY))
    parser.add_argument("--repetitions", type=int, default=5)
    parser.add_argument("--quick", action="store_true", help="one short repetition")
    options = parser.parse_args()
    benchlib.require_root()
    benchlib.require_binary(options.binary)

    benchlib.print_heading("Checksums (Google Benchmark)")
    arguments = ["--benchmark_min_time=0.01", "--benchmark_repetitions=1"] if options.quick else [
        f"--benchmark_repetitions={options.repetitions}"]
    with tempfile.NamedTemporaryFile(mode="r", suffix=".json") as output:
        run = subprocess.run([options.binary, *arguments, f"--benchmark_out={output.name}",
                              "--benchmark_out_format=json"],
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                             timeout=TIMEOUT_S)
        if run.returncode != 0:
            raise SystemExit(f"{options.binary} failed ({run.returncode}): {run.stderr}")
        report = json.load(output)
    rows = []
    for (function, size), result in sorted(results_by_benchmark(report).items()):
        rows.append([f"`{function}`", size, f"{result['real_time']:.1f} {result['time_unit']}",
                     f"{result['bytes_per_second'] / 1e6:,.1f}"])
    print(benchlib.markdown_table(["function", "message bytes", "time per call (median)",
                                   "MB/s (median)"], rows))
    repetitions = 1 if options.quick else options.repetitions
    print(f"\nMedian of {repetitions} repetition(s); Google Benchmark library build type: "
          f"{report['context'].get('library_build_type', 'unknown')}.")


if __name__ == "__main__":
    main()
