#!/usr/bin/env python3
"""CPU time and peak memory of qping against iputils ping.

Both send the same number of echo requests to the loopback address at their
default pace (one a second) and run one after the other, so that neither sees
the other's traffic. CPU time (user + system) comes from wait4 on each run,
peak memory (maximum resident set size) from separate runs under GNU time
(see benchlib.peak_memory_kib). The table shows medians over the runs and the
ratio qping / ping. Goal: a ratio of at most 1 for both.
"""

import argparse

import benchlib

TIMEOUT_S = 60


def cpu_times(command, runs):
    times = []
    for _ in range(runs):
        result = benchlib.measure(command, TIMEOUT_S)
        if result.returncode != 0:
            raise SystemExit(f"{' '.join(command)} failed: {result.stdout}{result.stderr}")
        times.append(result.cpu_ms)
    return times


def peak_memories(command, runs):
    peaks = [benchlib.peak_memory_kib(command, TIMEOUT_S) for _ in range(runs)]
    if None in peaks:
        raise SystemExit(f"{' '.join(command)} failed under {benchlib.GNU_TIME}")
    return peaks


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--qping", default=str(benchlib.DEFAULT_QPING))
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--count", type=int, default=4, help="echo requests per run")
    parser.add_argument("--quick", action="store_true", help="one run of one request")
    options = parser.parse_args()
    if options.quick:
        options.runs, options.count = 1, 1
    benchlib.require_root()
    benchlib.require_binary(options.qping)

    benchlib.print_heading(f"Cost: `-c {options.count}` to {benchlib.LOOPBACK}")
    commands = {
        "qping": [options.qping, "-c", str(options.count), benchlib.LOOPBACK],
        "iputils ping": [benchlib.PING, "-c", str(options.count), benchlib.LOOPBACK],
    }
    cpu = {tool: cpu_times(command, options.runs) for tool, command in commands.items()}
    rss = {tool: peak_memories(command, options.runs) for tool, command in commands.items()}
    rows = [[tool, options.runs, f"{benchlib.median(cpu[tool]):.2f}",
             f"{min(cpu[tool]):.2f} – {max(cpu[tool]):.2f}",
             f"{benchlib.median(rss[tool]):.0f}", f"{min(rss[tool])} – {max(rss[tool])}"]
            for tool in commands]
    ratios = [benchlib.median(values["qping"]) / benchlib.median(values["iputils ping"])
              for values in (cpu, rss)]
    rows.append(["qping / ping", "", f"{ratios[0]:.2f}", "", f"{ratios[1]:.2f}", ""])
    print(benchlib.markdown_table(
        ["tool", "runs", "CPU ms (median)", "CPU ms (min – max)", "max RSS KiB (median)",
         "max RSS KiB (min – max)"], rows))
    verdict = "met" if max(ratios) <= 1 else "NOT met"
    print(f"\nGoal (no more CPU and no more memory than iputils ping): {verdict}.")


if __name__ == "__main__":
    main()
