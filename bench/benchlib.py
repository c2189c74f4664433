"""What the benchmark scripts share: where the binaries are, running a
command with its own resource usage, medians, markdown tables, and the
description of the machine the figures come from.

Every script prints a markdown section to standard output, starting with the
command that reproduces it; run_all.py puts the sections together.
"""

import os
import platform
import shlex
import signal
import statistics
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
DEFAULT_QPING = REPO / "build" / "qping"
PING = "ping"  # iputils-ping
GNU_TIME = "/usr/bin/time"  # package time
LOOPBACK = "127.0.0.1"
POLL_S = 0.02


@dataclass
class Measured:
    """A finished command: its output and its own CPU time."""

    returncode: int
    stdout: str
    stderr: str
    cpu_ms: float  # user + system
    voluntary_switches: int  # roughly: how often it went to sleep and was woken


def reproduce_line():
    """The command that reproduces the calling script's output, from the repository root."""
    script = Path(sys.argv[0]).resolve().relative_to(REPO)
    return " ".join(["python3", str(script), *map(shlex.quote, sys.argv[1:])])


def print_heading(title):
    print(f"## {title}\n")
    print(f"Reproduce (as root, from the repository root): `{reproduce_line()}`\n")
    print(f"Load when it started: {load_average()}\n")


def load_average():
    one, five, fifteen = os.getloadavg()
    return f"{one:.2f} {five:.2f} {fifteen:.2f} (1, 5, 15 min)"


def start(command):
    """Starts a command with its output going to temporary files; see finish()."""
    stdout = tempfile.TemporaryFile(mode="w+")
    stderr = tempfile.TemporaryFile(mode="w+")
    process = subprocess.Popen(command, stdout=stdout, stderr=stderr)
    return process, stdout, stderr


def finish(started, timeout_s):
    """Waits for a command from start() and reaps it with wait4, which gives
    the resource usage of that one process. A command still running after
    timeout_s is killed, and counts as failed."""
    process, stdout, stderr = started
    deadline = time.monotonic() + timeout_s
    while True:
        pid, status, usage = os.wait4(process.pid, os.WNOHANG)
        if pid == process.pid:
            break
        if time.monotonic() >= deadline:
            process.kill()
            pid, status, usage = os.wait4(process.pid, 0)
            break
        time.sleep(POLL_S)
    process.returncode = os.waitstatus_to_exitcode(status)
    outputs = []
    for stream in (stdout, stderr):
        stream.seek(0)
        outputs.append(stream.read())
        stream.close()
    return Measured(process.returncode, outputs[0], outputs[1],
                    (usage.ru_utime + usage.ru_stime) * 1000, usage.ru_nvcsw)


def measure(command, timeout_s):
    return finish(start(command), timeout_s)


def peak_memory_kib(command, timeout_s):
    """The maximum resident set size of a command, in KiB, or None if it failed.

    wait4 cannot tell it for a child of this script: a child's peak includes
    the (shared) image of the Python process it was forked from. GNU time
    forks the command from its own small image instead; its own ~1.1 MiB is
    thus the floor of what can be measured.
    """
    with tempfile.NamedTemporaryFile(mode="r") as report:
        result = measure([GNU_TIME, "-f", "%M", "-o", report.name, *command], timeout_s)
        peak = report.read().strip()
    return int(peak) if result.returncode == 0 and peak.isdigit() else None


def interrupt(started):
    """Asks a command from start() to stop (SIGINT: ping then prints its summary).
    Until finish() reaps it, its process id cannot be reused, so the signal
    reaches it even if it has just ended (and then does nothing)."""
    os.kill(started[0].pid, signal.SIGINT)


def median(values):
    return statistics.median(values) if values else float("nan")


def markdown_table(headers, rows):
    lines = ["| " + " | ".join(headers) + " |", "|" + "---|" * len(headers)]
    lines += ["| " + " | ".join(str(cell) for cell in row) + " |" for row in rows]
    return "\n".join(lines)


def require_root():
    if os.geteuid() != 0:
        sys.exit("the benchmarks open raw sockets and make namespaces: run them as root")


def require_binary(path):
    if not Path(path).is_file():
        sys.exit(f"{path} not found: build first (cmake -S . -B build && cmake --build build)")


def machine_description():
    """nproc, CPU model, kernel, memory and load, as a markdown list."""
    model = "unknown"
    for line in Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name"):
            model = line.split(":", 1)[1].strip()
            break
    memory_kib = 0
    for line in Path("/proc/meminfo").read_text().splitlines():
        if line.startswith("MemTotal:"):
            memory_kib = int(line.split()[1])
    ping_version = subprocess.run([PING, "-V"], capture_output=True, text=True).stdout
    return "\n".join([
        f"- CPUs (nproc): {os.cpu_count()}",
        f"- CPU model: {model}",
        f"- kernel: {platform.release()}",
        f"- memory: {memory_kib // 1024} MiB",
        f"- load: {load_average()}",
        f"- iputils: {ping_version.splitlines()[0] if ping_version else 'not found'}",
    ])
