#!/usr/bin/env python3
"""Reply-time accuracy of qping against iputils ping.

A client and a target namespace are joined by a veth pair (the end-to-end
tests' lab, tests/e2e/netlab.py). In the target, the kernel's echo replies
are off and the scripted responder (tests/e2e/responder.py) answers every
echo request D ms after it arrived. qping -c N and ping -c N run side by side
from the client against it, for each delay D, while tcpdump in the client
records when each request left and each reply came back: that span is the
true round trip of the request. Each tool's reported time is compared with
the true round trip of its own request. qping reads a millisecond tick
counter and prints whole milliseconds ("time<1ms" counts as 0). Goal: every
qping reply within 1 ms of its true round trip.
"""

import argparse
import re
import sys
import time
from collections import Counter

import benchlib

sys.path.insert(0, str(benchlib.REPO / "tests" / "e2e"))
from netlab import Lab  # noqa: E402 - the lab lives with the end-to-end tests

DELAYS_MS = (0, 2, 20, 200)
TOLERANCE_MS = 1
QPING_LENGTH = 40  # ICMP bytes of a default qping request; iputils sends 64
PING_LENGTH = 64
# The responder answers both tools; it ends after all their requests or
# after this much time beyond their one-second pace.
SLACK_S = 20
CAPTURE_START_TIMEOUT_S = 5
# Both tools send once a second; half a second apart, their exchanges do not
# compete for the two tools' wake-ups and the responder (at least at first:
# qping's pace is one second plus the round trip).
STAGGER_S = 0.5


def qping_times(output):
    return [0 if ms == "<1" else int(ms[1:])
            for ms in re.findall(r": bytes=\d+ time(<1|=\d+)ms TTL=\d+$", output, re.MULTILINE)]


def ping_times(output):
    """{sequence: reported ms} of iputils ping's replies."""
    return {int(sequence): float(ms) for sequence, ms in
            re.findall(r" icmp_seq=(\d+) .* time=([\d.]+) ms$", output, re.MULTILINE)}


def wire_round_trips(capture, length):
    """{sequence: true round trip in ms} of the echo exchanges of one ICMP
    length, in the order the requests left, from tcpdump -tt lines."""
    sent, round_trips = {}, {}
    for stamp, kind, identifier, sequence, size in re.findall(
            r"^([\d.]+) .*ICMP echo (request|reply), id (\d+), seq (\d+), length (\d+)$",
            capture, re.MULTILINE):
        key = (identifier, sequence)
        if int(size) != length:
            continue
        if kind == "request":
            sent[key] = float(stamp)
        elif key in sent and key not in round_trips:
            round_trips[key] = (float(stamp) - sent[key]) * 1000
    return {int(sequence): trip for (_, sequence), trip in round_trips.items()}


def start_capture(client):
    """tcpdump in the client, once it listens; stop it with benchlib.interrupt."""
    capture = benchlib.start(client.exec_command("tcpdump", "-i", "any", "-n", "-l", "-tt",
                                                 "icmp"))
    stderr = capture[2]
    for _ in range(int(CAPTURE_START_TIMEOUT_S / benchlib.POLL_S)):
        stderr.seek(0)
        if "listening on" in stderr.read():
            return capture
        time.sleep(benchlib.POLL_S)
    benchlib.interrupt(capture)
    raise SystemExit("tcpdump did not start")


def measure_delay(lab, client, target, qping_path, delay_ms, count):
    """[(reported, true round trip)] for qping and for iputils ping."""
    responder = lab.start_responder(target, 4, [f"good@{delay_ms}"], requests=2 * count,
                                    time_limit_s=count + SLACK_S)
    capture = start_capture(client)
    try:
        started = []
        for tool in (qping_path, benchlib.PING):
            started.append(benchlib.start(client.exec_command(tool, "-c", str(count),
                                                              target.left4)))
            time.sleep(STAGGER_S)
        qping, ping = [benchlib.finish(run, count + SLACK_S) for run in started]
    finally:
        benchlib.interrupt(capture)
        capture = benchlib.finish(capture, CAPTURE_START_TIMEOUT_S)
        responder.stop()
    # qping's reply lines come in the order of its requests; ping names its sequence.
    qping_wire = list(wire_round_trips(capture.stdout, QPING_LENGTH).values())
    ping_wire = wire_round_trips(capture.stdout, PING_LENGTH)
    reported = qping_times(qping.stdout)
    return {
        "qping": list(zip(reported, qping_wire)) if len(reported) == len(qping_wire) else [],
        "iputils ping": [(ms, ping_wire[sequence])
                         for sequence, ms in ping_times(ping.stdout).items()
                         if sequence in ping_wire],
    }


def spread(values):
    """'20.412 (20.301 – 20.633)': median (min – max)"""
    return f"{benchlib.median(values):.3f} ({min(values):.3f} – {max(values):.3f})"


def distribution(values):
    """'20 ×9, 21 ×11': each value and how often it came"""
    return ", ".join(f"{value} ×{times}" for value, times in sorted(Counter(values).items()))


def rows_of_delay(delay_ms, count, pairs_by_tool):
    rows = []
    for tool, pairs in pairs_by_tool.items():
        if not pairs:
            rows.append([delay_ms, tool, f"0/{count}", "–", "–", "–", "–"])
            continue
        reported = [ms for ms, _ in pairs]
        wire = [trip for _, trip in pairs]
        errors = [ms - trip for ms, trip in pairs]
        rows.append([
            delay_ms, tool, f"{len(pairs)}/{count}", spread(wire),
            distribution(reported) if tool == "qping" else spread(reported),
            f"{min(errors):+.2f} … {max(errors):+.2f}",
            f"{sum(abs(error) <= TOLERANCE_MS for error in errors)}/{count}",
        ])
    return rows


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
            pairs = measure_delay(lab, client, target, options.qping, delay_ms, options.count)
            rows += rows_of_delay(delay_ms, options.count, pairs)
    print(benchlib.markdown_table(
        ["D (ms)", "tool", "replies", "true round trip ms: median (min – max)",
         "reported ms (qping: value ×times)", "reported − true (ms)", f"within {TOLERANCE_MS} ms of true"], rows))
    met = all(row[-1] == f"{options.count}/{options.count}" for row in rows if row[1] == "qping")
    print(f"\nGoal (every qping reply within {TOLERANCE_MS} ms of its true round trip): "
          f"{'met' if met else 'NOT met'}.")


if __name__ == "__main__":
    main()
