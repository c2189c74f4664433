#!/usr/bin/env python3
"""qping under unrelated ICMP traffic, against iputils ping.

While a third program (iputils ping, bounded in count and time) sends echo
requests to the loopback address, qping -c N and ping -c N run side by side
against the same address. A raw ICMP socket receives every ICMP datagram of
the host, so without a kernel-side filter qping is woken for each of the
flood's requests and replies; iputils ping filters in the kernel. The table
shows whether qping still reported every reply (N reply lines, Rec = N,
Lost = 0), the CPU time (user + system, medians), its ratio to ping's, and the
voluntary context switches (about one per wake-up). Goal: every run correct
and a CPU ratio of at most 1.5.

For the figure before the filter, the script builds qping from the revision
just before the filter was added (git archive into a temporary directory),
unless --before none.
"""

import argparse
import re
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import benchlib

# Flood levels: iputils ping's own pacing, 2 ms apart or as fast as replies
# come back. The count is only an upper bound: the flood is stopped as soon
# as the measured tools are done, and -w bounds it in time in any case.
FLOODS = {
    "-i 0.002": ["-i", "0.002"],
    "-f": ["-f"],
}
FLOOD_COUNT_BOUND = 2_000_000
FLOOD_HEAD_START_S = 0.3
TOOL_TIMEOUT_S = 60
FILTER_SOURCE = "src/platform/linux/reply_filter.cpp"


def reply_lines_ok(output, count):
    replies = re.findall(rf"^{re.escape(benchlib.LOOPBACK)}: bytes=32 time[<=]\d+ms TTL=128$",
                         output, re.MULTILINE)
    return len(replies) == count and f"Sent = {count}, Rec = {count}, Lost = 0" in output


def flood_rate(flood):
    """Datagrams per second the flood sent, from ping's summary."""
    sent = re.search(r"(\d+) packets transmitted.*time (\d+)ms", flood.stdout)
    return int(sent[1]) * 1000 / max(int(sent[2]), 1) if sent else float("nan")


def one_round(flood_arguments, commands, count):
    """Runs every tool once under the flood; their results and the flood's rate."""
    deadline_s = count + 6
    flood = benchlib.start([benchlib.PING, "-q", *flood_arguments, "-c", str(FLOOD_COUNT_BOUND),
                            "-w", str(deadline_s), benchlib.LOOPBACK])
    try:
        time.sleep(FLOOD_HEAD_START_S)
        started = {tool: benchlib.start(command) for tool, command in commands.items()}
        results = {tool: benchlib.finish(run, TOOL_TIMEOUT_S) for tool, run in started.items()}
    finally:
        benchlib.interrupt(flood)
        flood_result = benchlib.finish(flood, deadline_s + 5)
    return results, flood_rate(flood_result)


def before_revision(requested):
    if requested != "auto":
        return requested
    added = subprocess.run(
        ["git", "-C", str(benchlib.REPO), "log", "--diff-filter=A", "--format=%H", "--",
         FILTER_SOURCE], capture_output=True, text=True, check=True).stdout.split()
    if not added:
        sys.exit(f"no commit adds {FILTER_SOURCE}: give --before REVISION or --before none")
    return added[-1] + "^"


def build_before(revision, directory):
    """Builds qping of the given revision in directory; the binary's path."""
    source = Path(directory) / "source"
    source.mkdir()
    archive = subprocess.run(["git", "-C", str(benchlib.REPO), "archive", revision],
                             capture_output=True, check=True).stdout
    subprocess.run(["tar", "-x", "-C", str(source)], input=archive, check=True)
    build = Path(directory) / "build"
    subprocess.run(["cmake", "-S", str(source), "-B", str(build), "-DQPING_TESTS=OFF",
                    "-DQPING_BENCH=OFF"], capture_output=True, check=True)
    subprocess.run(["cmake", "--build", str(build), "-j2", "--target", "qping"],
                   capture_output=True, check=True)
    return str(build / "qping")


def report(options, commands, before):
    count = options.count
    rows = []
    for level, flood_arguments in FLOODS.items():
        rounds = [one_round(flood_arguments, commands, count) for _ in range(options.runs)]
        ping_cpu = benchlib.median([results["iputils ping"].cpu_ms for results, _ in rounds])
        for tool in commands:
            runs = [results[tool] for results, _ in rounds]
            correct = sum(reply_lines_ok(run.stdout, count) if tool != "iputils ping"
                          else run.returncode == 0 for run in runs)
            cpu = benchlib.median([run.cpu_ms for run in runs])
            rows.append([f"`ping {' '.join(flood_arguments)}`",
                         f"{benchlib.median([rate for _, rate in rounds]):.0f}", tool,
                         f"{correct}/{len(runs)}", f"{cpu:.2f}", f"{cpu / ping_cpu:.2f}",
                         f"{benchlib.median([run.voluntary_switches for run in runs]):.0f}"])
    print(benchlib.markdown_table(
        ["flood", "flood requests/s", "tool", "correct runs", "CPU ms (median)", "CPU / ping",
         "context switches (median)"], rows))
    if before:
        print(f"\n\"qping before filter\" is qping built from revision `{before}`, the tree "
              "just before the kernel-side filter was added.")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--qping", default=str(benchlib.DEFAULT_QPING))
    parser.add_argument("--before", default="auto",
                        help="revision to build the before-filter qping from: auto (the parent "
                             "of the commit that added the filter), a revision, or none")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--count", type=int, default=4, help="echo requests per measured run")
    parser.add_argument("--quick", action="store_true",
                        help="one run of one request, no before-filter build")
    options = parser.parse_args()
    if options.quick:
        options.runs, options.count, options.before = 1, 1, "none"
    benchlib.require_root()
    benchlib.require_binary(options.qping)

    benchlib.print_heading(f"Unrelated traffic: `-c {options.count}` to {benchlib.LOOPBACK} "
                           "during a flood")
    count = str(options.count)
    commands = {"qping": [options.qping, "-c", count, benchlib.LOOPBACK]}
    with tempfile.TemporaryDirectory(prefix="qping-before-") as directory:
        before = None
        if options.before != "none":
            before = before_revision(options.before)
            commands["qping before filter"] = [build_before(before, directory), "-c", count,
                                               benchlib.LOOPBACK]
        commands["iputils ping"] = [benchlib.PING, "-c", count, benchlib.LOOPBACK]
        report(options, commands, before)


if __name__ == "__main__":
    main()
