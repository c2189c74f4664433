"""A small network lab for the end-to-end tests of qping.

The tests run the real qping binary, as root, inside network namespaces that
each test makes for itself: a client, optionally Linux routers, and a target,
joined in a line by veth pairs. Nothing ever leaves the lab: the namespaces
have no link to the host's network, and every address comes from the ranges
kept for documentation (198.51.100.0/24 and 2001:db8::/32).

    with Lab() as lab:
        client, router, target = lab.chain("client", "router", "target")
        lab.start_responder(target, 4, ["good@50"], requests=1)
        result = lab.qping(client, "-c", "1", target.left4)

Link k of a chain (between node k and node k + 1) uses 198.51.100.16k/28 and
2001:db8:k+1::/64; its left end is .16k+1 / ::1, its right end .16k+2 / ::2.
Every node routes towards the target through its right neighbour and back
through its left one, so any node can reach any other.

Namespace names carry a prefix, the test process's id and a counter, so tests
may run in parallel. A Lab always removes what it made (namespaces, resolver
files, helper processes such as responders), also when a test fails;
namespaces left behind by a test process that was killed are removed by the
next Lab.

Targets answer echo requests with the kernel's own replies unless the test
starts a responder (responder.py) there, which switches them off first.
qping runs through `ip netns exec` with a time limit, its stdout, stderr,
exit status and run time kept apart; it and the responder run at real-time
priority (see REALTIME).
"""

import ipaddress
import json
import os
import select
import shutil
import subprocess
import sys
import time
from dataclasses import dataclass
from itertools import count
from pathlib import Path

HERE = Path(__file__).resolve().parent
QPING = os.environ.get("QPING_BINARY", str(HERE.parents[1] / "build" / "qping"))
NAME_PREFIX = "qpe2e"
NETNS_RUN_DIR = Path("/run/netns")
NETNS_ETC_DIR = Path("/etc/netns")

# Fast and predictable: no reverse-path filtering, no rate limit on ICMP
# errors (a router must answer every probe), no duplicate address detection
# (addresses are usable at once).
COMMON_SYSCTLS = {
    "net.ipv4.conf.all.rp_filter": 0,
    "net.ipv4.conf.default.rp_filter": 0,
    "net.ipv4.icmp_ratelimit": 0,
    "net.ipv6.icmp.ratelimit": 0,
    "net.ipv6.conf.all.accept_dad": 0,
    "net.ipv6.conf.default.accept_dad": 0,
}
ROUTER_SYSCTLS = {
    "net.ipv4.ip_forward": 1,
    "net.ipv6.conf.all.forwarding": 1,
}
KERNEL_ECHO_OFF_SYSCTLS = {
    "net.ipv4.icmp_echo_ignore_all": 1,
    "net.ipv6.icmp.echo_ignore_all": 1,
}

# The tool and the responder run at real-time priority: on a busy machine the
# time either waits for a processor would otherwise show in the reply times,
# by several milliseconds. The responder takes it only once it has started:
# starting Python at that priority would keep a processor from the other
# lab's tool and responder for tens of milliseconds. chrt comes with
# util-linux, which every Debian system has (it is an essential package).
REALTIME_PRIORITY = 10
REALTIME = ["chrt", "--fifo", str(REALTIME_PRIORITY)]

COMMAND_TIMEOUT_S = 10
LINK_UP_TIMEOUT_S = 5
# Enough for two requests that both time out (6 s wait and 1 s pause each).
QPING_TIMEOUT_S = 30
RESPONDER_START_TIMEOUT_S = 5
PROCESS_STOP_TIMEOUT_S = 3

_namespace_numbers = count()


class LabError(Exception):
    pass


def run(command, timeout=COMMAND_TIMEOUT_S, check=True):
    """Runs a command, capturing stdout and stderr apart; raises on failure."""
    result = subprocess.run(command, capture_output=True, text=True, timeout=timeout)
    if check and result.returncode != 0:
        raise LabError(f"{' '.join(command)} failed ({result.returncode}): {result.stderr}")
    return result


@dataclass
class Node:
    """A namespace of the lab and its addresses towards each neighbour."""

    namespace: str
    left4: str | None = None
    left6: str | None = None
    right4: str | None = None
    right6: str | None = None

    def exec_command(self, *command):
        return ["ip", "netns", "exec", self.namespace, *command]

    def left(self, family):
        return self.left4 if family == 4 else self.left6


@dataclass
class Link:
    """Network k of a chain: its prefixes and the addresses of both ends."""

    net4: ipaddress.IPv4Network
    net6: ipaddress.IPv6Network

    @classmethod
    def number(cls, k):
        return cls(
            ipaddress.IPv4Network(f"198.51.100.{16 * k}/28"),
            ipaddress.IPv6Network(f"2001:db8:{k + 1:x}::/64"),
        )

    def left_end(self, family):
        return str(self._net(family)[1])

    def right_end(self, family):
        return str(self._net(family)[2])

    def _net(self, family):
        return self.net4 if family == 4 else self.net6


def read_until(process, text, timeout_s):
    """What a helper process printed until it printed text, or until it ended
    or the time ran out. Reads the pipe itself, not through Python's buffer,
    so that nothing is held back."""
    deadline = time.monotonic() + timeout_s
    descriptor = process.stdout.fileno()
    output = b""
    while text.encode() not in output:
        left = deadline - time.monotonic()
        readable, _, _ = select.select([descriptor], [], [], max(left, 0))
        chunk = os.read(descriptor, 4096) if readable else b""
        if not chunk:
            break
        output += chunk
    return output.decode()


def end_process(process):
    """Ends a helper process if it still runs; its stdout and stderr."""
    if process.poll() is None:
        process.terminate()
    try:
        return process.communicate(timeout=PROCESS_STOP_TIMEOUT_S)
    except subprocess.TimeoutExpired:
        process.kill()
        return process.communicate()


class Responder:
    """A running responder.py; stop() ends it and returns what it logged."""

    def __init__(self, process):
        self.process = process

    def wait_until_ready(self):
        # The responder prints "ready" once its socket is open.
        shown = read_until(self.process, "ready\n", RESPONDER_START_TIMEOUT_S)
        if shown != "ready\n":
            _, errors = end_process(self.process)
            raise LabError(f"responder did not start: {shown!r} {errors}")

    def stop(self):
        """Ends the responder if it still runs; the requests it logged."""
        output, _ = end_process(self.process)
        return [line for line in output.splitlines() if line.startswith("request ")]


class Lab:
    """Namespaces, links and helper processes of one test; see the top."""

    def __init__(self):
        if os.geteuid() != 0:
            raise LabError("the end-to-end tests need root (raw sockets, namespaces)")
        self.namespaces = []
        self.processes = []
        self.resolver_dirs = []
        _remove_stale_namespaces()

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.close()

    def close(self):
        """Removes everything the lab made; every step runs even if one fails."""
        failures = []
        for process in self.processes:
            _attempt(failures, end_process, process)
        for directory in self.resolver_dirs:
            _attempt(failures, shutil.rmtree, directory)
        _remove_if_empty(NETNS_ETC_DIR)
        for namespace in self.namespaces:
            _attempt(failures, run, ["ip", "netns", "delete", namespace])
        self.processes, self.resolver_dirs, self.namespaces = [], [], []
        if failures:
            raise LabError("; ".join(failures))

    def add_node(self, role, router=False):
        name = f"{NAME_PREFIX}-{os.getpid()}-{next(_namespace_numbers)}-{role}"
        run(["ip", "netns", "add", name])
        self.namespaces.append(name)
        node = Node(name)
        self.sysctl(node, COMMON_SYSCTLS | (ROUTER_SYSCTLS if router else {}))
        run(["ip", "-n", name, "link", "set", "lo", "up"])
        return node

    def sysctl(self, node, settings):
        assignments = [f"{key}={value}" for key, value in settings.items()]
        run(node.exec_command("sysctl", "-q", "-w", *assignments))

    def chain(self, *roles):
        """Nodes joined in a line, the middle ones routers; see the top."""
        nodes = [
            self.add_node(role, router=0 < index < len(roles) - 1)
            for index, role in enumerate(roles)
        ]
        for k, (left, right) in enumerate(zip(nodes, nodes[1:])):
            self._connect(left, right, Link.number(k))
        for node in nodes:
            _wait_until_links_up(node)
        for index, node in enumerate(nodes):
            self._add_routes(node, index, nodes)
        return nodes

    def _connect(self, left, right, link):
        run(["ip", "-n", left.namespace, "link", "add", "right", "type", "veth",
             "peer", "name", "left", "netns", right.namespace])
        left.right4, left.right6 = link.left_end(4), link.left_end(6)
        right.left4, right.left6 = link.right_end(4), link.right_end(6)
        for node, device, address4, address6 in (
            (left, "right", left.right4, left.right6),
            (right, "left", right.left4, right.left6),
        ):
            ip = ["ip", "-n", node.namespace]
            run(ip + ["addr", "add", f"{address4}/{link.net4.prefixlen}", "dev", device])
            run(ip + ["-6", "addr", "add", f"{address6}/{link.net6.prefixlen}", "dev", device,
                      "nodad"])
            run(ip + ["link", "set", device, "up"])

    def set_link_mtu(self, left, right, mtu):
        """Sets the MTU of the link between two neighbours of a chain."""
        run(["ip", "-n", left.namespace, "link", "set", "right", "mtu", str(mtu)])
        run(["ip", "-n", right.namespace, "link", "set", "left", "mtu", str(mtu)])

    def _add_routes(self, node, index, nodes):
        ip = ["ip", "-n", node.namespace]
        if index + 1 < len(nodes):
            right = nodes[index + 1]
            run(ip + ["route", "add", "default", "via", right.left4])
            run(ip + ["-6", "route", "add", "default", "via", right.left6])
        if index > 0:
            left = nodes[index - 1]
            for k in range(index - 1):
                link = Link.number(k)
                run(ip + ["route", "add", str(link.net4), "via", left.right4])
                run(ip + ["-6", "route", "add", str(link.net6), "via", left.right6])

    def start_responder(self, node, family, plans, requests, time_limit_s=15):
        """Starts responder.py in the node, with the kernel's echo replies off.

        plans: one answer plan per request (see responder.py); the last one
        serves every later request.
        """
        self.sysctl(node, KERNEL_ECHO_OFF_SYSCTLS)
        responder = Responder(self.start(
            node, sys.executable, str(HERE / "responder.py"),
            "--family", str(family), "--requests", str(requests),
            "--time-limit", str(time_limit_s), "--realtime-priority", str(REALTIME_PRIORITY),
            "--", *plans,
        ))
        responder.wait_until_ready()
        return responder

    def start(self, node, *command):
        """Starts a helper process in the node; the lab ends it if need be."""
        process = subprocess.Popen(node.exec_command(*command), stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, text=True)
        self.processes.append(process)
        return process

    def isolate_resolver(self, node):
        """Points name lookups in the node at its own loopback, where no server
        listens, so that a lookup fails at once and can reach no real server."""
        directory = NETNS_ETC_DIR / node.namespace
        directory.mkdir(parents=True)
        self.resolver_dirs.append(directory)
        (directory / "resolv.conf").write_text(
            "nameserver 127.0.0.1\noptions attempts:1 timeout:1\n")

    def qping(self, node, *arguments):
        """Runs qping in the node: its stdout, stderr, returncode and run time."""
        started = time.monotonic()
        result = run(node.exec_command(*REALTIME, QPING, *arguments), timeout=QPING_TIMEOUT_S,
                     check=False)
        return QpingRun(result.stdout, result.stderr, result.returncode,
                        time.monotonic() - started)


@dataclass
class QpingRun:
    stdout: str
    stderr: str
    returncode: int
    seconds: float


def qping_outside_lab(*arguments):
    """Runs qping without a namespace, for runs that never reach the network."""
    return run([QPING, *arguments], timeout=QPING_TIMEOUT_S, check=False)


def _wait_until_links_up(node):
    """Waits for the node's links to be operational. The kernel brings a new
    link's carrier into effect with a delay (up to a second when many links
    change), and drops what is sent over the link until then."""
    deadline = time.monotonic() + LINK_UP_TIMEOUT_S
    while True:
        links = json.loads(run(["ip", "-n", node.namespace, "-j", "link", "show"]).stdout)
        waiting = [link["ifname"] for link in links
                   if link["ifname"] != "lo" and link["operstate"] != "UP"]
        if not waiting:
            return
        if time.monotonic() > deadline:
            raise LabError(f"links {waiting} of {node.namespace} did not come up")
        time.sleep(0.05)


def _attempt(failures, action, *arguments):
    try:
        action(*arguments)
    except Exception as error:  # noqa: BLE001 - collected and raised after clean-up
        failures.append(str(error))


def _remove_if_empty(directory):
    try:
        directory.rmdir()
    except OSError:
        pass  # missing, or still used by another lab


def _remove_stale_namespaces():
    """Removes namespaces (and resolver files) of test processes now gone."""
    if not NETNS_RUN_DIR.is_dir():
        return
    for entry in NETNS_RUN_DIR.iterdir():
        parts = entry.name.split("-")
        if len(parts) < 3 or parts[0] != NAME_PREFIX or not parts[1].isdigit():
            continue
        if Path(f"/proc/{parts[1]}").exists():
            continue
        run(["ip", "netns", "delete", entry.name], check=False)
        shutil.rmtree(NETNS_ETC_DIR / entry.name, ignore_errors=True)
