#!/usr/bin/env python3
"""Reply-time accuracy of qping against iputils ping.

A client and a target namespace are joined by a veth pair (the end-to-end
tests' lab, tests/e2e/netlab.py). In the target, the kernel's echo replies
are off and the scripted responder (tests/e2e/responder.py) answers every
echo request D ms after it arrived. qping -c N and ping -c N run side by side
from the client against it, for each delay D. iputils ping reports the round
trip to a few microseconds, so its median for a delay stands for the true
round trip; qping reads a millisecond tick counter and prints whole
milliseconds ("time<1ms" counts as 0). Goal: every qping reply within 1 ms of
the true round trip. The last column applies the same test to iputils' own
replies: what it misses shows the scatter of the responder and the machine,
not of qping.
"""

import argparse
import re
import sys
from collections import Counter

import benchlib

sys.path.insert(0, str(benchlib.REPO / "tests" / "e2e"))
from netlab import Lab  # noqa: E402 - the lab lives with the end-to-end tests

DELAYS_MS = (0, 2, 20, 200)
TOLERANCE_MS = 1
# The responder answers both tools; it ends after all their requests or
# after this much time beyond their one-second pace.
RESPONDER_SLACK_S = 20


def qping_times(output):
    return [0 if time == "<1" else int(time[1:])
            for time in re.findall(r": bytes=\d+ time(<1|=\d+)ms TTL=\d+$", output, re.MULTILINE)]


def ping_times(output):
    return [float(time) for time in re.findall(r" time=([\d.]+) ms$", output, re.MULTILINE)]


def distribution(values):
    """'20 ms ×19, 21 ms ×1'"""
    return ", ".join(f"{value} ms ×{times}" for value, times in sorted(Counter(values).items()))


def measure_delay(lab, client, target, qping_path, delay_ms, count):
    responder = lab.start_responder(target, 4, [f"good@{delay_ms}"], requests=2 * count,
                                    time_limit_s=count + RESPONDER_SLACK_S)
    commands = {
        "qping": client.exec_command(qping_path, "-c", str(count), target.left4),
        "ping": client.exec_command(benchlib.PING, "-c", str(count), target.left4),
    }
    started = {tool: benchlib.start(command) for tool, command in commands.items()}
    results = {tool: benchlib.finish(run, count + RESPONDER_SLACK_S)
               for tool, run in started.items()}
    responder.stop()
    return qping_times(results["qping"].stdout), ping_times(results["ping"].stdout)


def within(times, reference):
    return sum(abs(time - reference) <= TOLERANCE_MS for time in times)


def row(delay_ms, count, qping, ping):
    if not ping:
        return [delay_ms, f"0/{count}", "–", distribution(qping), "–", "–"]
    reference = benchlib.median(ping)
    return [delay_ms, f"{len(ping)}/{count}",
            f"{reference:.3f} ({min(ping):.3f} – {max(ping):.3f})", distribution(qping),
            f"{within(qping, reference)}/{count}", f"{within(ping, reference)}/{count}"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--qping", default=str(benchlib.DEFAULT_QPING))
    parser.add_argument("--count", type=int, default=20, help="echo requests per delay and tool")
    parser.add_argument("--delays", default=",".join(map(str, DELAYS_MS)),
                        help="responder delays in ms, comma-separated")
    parser.add_argument("--quick", action="store_true", help="one request per delay")
    options = parser.parse_args()
    if options.quick:
        options.count = 1
    benchlib.require_root()
    benchlib.require_binary(options.qping)
    delays = [int(delay) for delay in options.delays.split(",")]

    benchlib.print_heading(f"Timing accuracy: `-c {options.count}` against a responder "
                           "that answers after D ms")
    rows = []
    with Lab() as lab:
        client, target = lab.chain("client", "target")
        # The first datagram waits for neighbour discovery: not part of any figure.
        benchlib.measure(client.exec_command(benchlib.PING, "-c", "1", target.left4), 5)
        for delay_ms in delays:
            qping, ping = measure_delay(lab, client, target, options.qping, delay_ms,
                                       options.count)
            rows.append(row(delay_ms, options.count, qping, ping))
    print(benchlib.markdown_table(
        ["D (ms)", "iputils replies", "iputils RTT ms: median (min – max)", "qping times",
         f"qping within {TOLERANCE_MS} ms of iputils median",
         f"iputils within {TOLERANCE_MS} ms of its median"], rows))
    met = all(r[-2] == f"{options.count}/{options.count}" for r in rows)
    print(f"\nGoal (every qping reply within {TOLERANCE_MS} ms of iputils' median round trip): "
          f"{'met' if met else 'NOT met'}.")


if __name__ == "__main__":
    main()
