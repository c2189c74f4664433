#!/usr/bin/env python3
"""Runs every benchmark script and puts their sections together, after a
description of the machine. Exits non-zero if a script failed to run; the
figures themselves never fail it (benchmarks are not tests).

    python3 bench/run_all.py [--quick] [--output FILE]

--quick runs each script on its smallest setting (a few seconds each).
"""

import argparse
import subprocess
import sys
from pathlib import Path

import benchlib

HERE = Path(__file__).resolve().parent
SCRIPTS = ["checksum.py", "cost.py", "unrelated_traffic.py", "timing.py"]
TIMEOUT_S = {False: 900, True: 120}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true")
    parser.add_argument("--output", help="file for the report (default: standard output)")
    options = parser.parse_args()

    sections = ["# Benchmark run\n", f"Reproduce: `{benchlib.reproduce_line()}`\n",
                benchlib.machine_description() + "\n"]
    failed = []
    for script in SCRIPTS:
        command = [sys.executable, str(HERE / script)] + (["--quick"] if options.quick else [])
        print(f"running {' '.join(command)}", file=sys.stderr, flush=True)
        try:
            result = subprocess.run(command, capture_output=True, text=True,
                                    timeout=TIMEOUT_S[options.quick])
        except subprocess.TimeoutExpired:
            failed.append(f"{script}: still running after {TIMEOUT_S[options.quick]} s")
            continue
        if result.returncode != 0:
            failed.append(f"{script} (exit status {result.returncode}):\n{result.stderr}")
        sections.append(result.stdout)
    report = "\n".join(sections)
    if options.output:
        Path(options.output).write_text(report)
    else:
        print(report)
    for failure in failed:
        print(f"FAILED: {failure}", file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
