#!/usr/bin/env python3
"""Smoke test of the Windows build: what the .exe files are, and the 32-bit
qping.exe run under Wine against IPv4 hosts in test network namespaces.

usage: smoke_test.py BUILD_WIN32 [BUILD_WIN64]

The qping.exe of both build directories is inspected (PE format, console
subsystem, manifest, imported DLLs); the 32-bit one is also run, and so is
its tick_count_test.exe. Needs root, wine with wine32, file and the MinGW-w64
objdump. Ends with "Windows: N passed, N failed"; the exit status is 1 when
any check failed.

Wine opens sockets inside the wineserver process, so a wineserver of the
test's own (own WINEPREFIX) is started inside the namespace the program runs
in; otherwise the test traffic would leave from the machine's own namespace.

Namespaces, all named after this process's id:
    host   198.51.100.1/30 -- router 198.51.100.2/30   (router forwards)
    router 203.0.113.1/30  -- target 203.0.113.2/30    (kernel echo on)
    host   198.51.100.5/30 -- quiet  198.51.100.6/30   (kernel echo off)
The host has routes to these links only, so a name lookup finds no server.
"""

import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ElementTree
from pathlib import Path

HERE = Path(__file__).resolve().parent
# The scripted echo responder of the end-to-end tests, which answers in place
# of the kernel with a chosen delay.
RESPONDER = HERE.parent / "e2e" / "responder.py"
ROUTER = "198.51.100.2"
TARGET = "203.0.113.2"
QUIET = "198.51.100.6"

# Windows' own DLLs that a console program may import; the GCC, C++ and
# thread run-times (libgcc_s_*, libstdc++-6, libwinpthread-1) must be linked
# in instead.
SYSTEM_DLLS = {"kernel32.dll", "msvcrt.dll", "ws2_32.dll", "advapi32.dll", "ntdll.dll"}
RT_MANIFEST = 24
MANIFEST_ID = 1

REPLY_LINE = r"(?P<source>\S+): bytes=(?P<bytes>\d+) time(?:<1|=(?P<ms>\d+))ms TTL=(?P<ttl>\d+)"


class CheckFailed(Exception):
    pass


def expect(condition, message, output=""):
    if not condition:
        raise CheckFailed(f"{message}\n--- output ---\n{output}" if output else message)


def run(command):
    """Runs a set-up or inspection command; its output, or CheckFailed."""
    done = subprocess.run(command, capture_output=True, text=True, timeout=60)
    expect(done.returncode == 0, f"{' '.join(command)} failed: {done.stderr.strip()}")
    return done.stdout


# ---------------------------------------------------------------- the files


def pe_format(exe):
    return run(["file", "-b", str(exe)])


def objdump_for(exe):
    triplet = "x86_64-w64-mingw32" if "x86-64" in pe_format(exe) else "i686-w64-mingw32"
    return f"{triplet}-objdump"


def imported_dlls(exe):
    dump = run([objdump_for(exe), "-p", str(exe)])
    return re.findall(r"DLL Name: (\S+)", dump)


def resources(exe):
    """(type, id, bytes) of every resource of the .exe, read from its PE
    headers and resource directory (type, name, language levels)."""
    data = Path(exe).read_bytes()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    expect(data[pe:pe + 4] == b"PE\0\0", "no PE signature")
    section_count, optional_size = struct.unpack_from("<2xH12xH", data, pe + 4)
    optional = pe + 24
    pe32_plus = struct.unpack_from("<H", data, optional)[0] == 0x20B
    resource_directory = optional + (112 if pe32_plus else 96) + 2 * 8
    resource_rva = struct.unpack_from("<I", data, resource_directory)[0]
    expect(resource_rva != 0, "no resources")
    sections = [struct.unpack_from("<8xIIII", data, optional + optional_size + 40 * index)
                for index in range(section_count)]

    def file_offset(rva):
        for virtual_size, address, raw_size, raw_offset in sections:
            if address <= rva < address + max(virtual_size, raw_size):
                return raw_offset + rva - address
        raise CheckFailed(f"address {rva:#x} lies in no section")

    root = file_offset(resource_rva)

    def entries(directory):
        named, numbered = struct.unpack_from("<12xHH", data, root + directory)
        for index in range(named + numbered):
            name, target = struct.unpack_from("<II", data, root + directory + 16 + 8 * index)
            yield name, target & 0x7FFFFFFF, bool(target & 0x80000000)

    found = []
    for kind, names, _ in entries(0):
        for name, languages, _ in entries(names):
            for _, leaf, is_directory in entries(languages):
                expect(not is_directory, "resource tree deeper than type, name, language")
                data_rva, data_size = struct.unpack_from("<II", data, root + leaf)
                start = file_offset(data_rva)
                found.append((kind, name, data[start:start + data_size]))
    return found


def check_file(exe, expected_format):
    """The .exe is a console program of the expected kind that asks for the
    invoker's level only and imports only Windows' own DLLs."""
    description = pe_format(exe)
    expect(description.startswith(expected_format), f"not a {expected_format}: {description}")

    found = resources(exe)
    expect([(kind, name) for kind, name, _ in found] == [(RT_MANIFEST, MANIFEST_ID)],
           f"resources other than one manifest with id 1: {[(k, n) for k, n, _ in found]}")
    manifest = ElementTree.fromstring(found[0][2])
    local_names = {element.tag.split("}")[-1] for element in manifest.iter()}
    expect(local_names == {"assembly", "trustInfo", "security", "requestedPrivileges",
                           "requestedExecutionLevel"},
           f"the manifest asks for more than an execution level: {sorted(local_names)}")
    level = next(element for element in manifest.iter()
                 if element.tag.endswith("requestedExecutionLevel"))
    expect(level.get("level") == "asInvoker", f"execution level {level.get('level')}")

    dlls = imported_dlls(exe)
    expect(dlls, "no imported DLL found")
    foreign = [dll for dll in dlls if dll.lower() not in SYSTEM_DLLS]
    expect(not foreign, f"imports DLLs that Windows does not have: {foreign}")


# ---------------------------------------------------------------- the network


def ip(*arguments):
    run(["ip", *arguments])


def in_namespace(namespace, *command):
    return ["ip", "netns", "exec", namespace, *command]


class TestNetwork:
    """The namespaces described at the top; removed again by close()."""

    def __init__(self):
        prefix = f"qpwin{os.getpid()}"
        self.host, self.router, self.target, self.quiet = (
            f"{prefix}-{role}" for role in ("host", "router", "target", "quiet"))
        self.made = []

    def build(self):
        for namespace in (self.host, self.router, self.target, self.quiet):
            ip("netns", "add", namespace)
            self.made.append(namespace)
            ip("-n", namespace, "link", "set", "lo", "up")
        self.link(self.host, "198.51.100.1/30", self.router, "198.51.100.2/30")
        self.link(self.router, "203.0.113.1/30", self.target, "203.0.113.2/30")
        self.link(self.host, "198.51.100.5/30", self.quiet, "198.51.100.6/30")
        ip("-n", self.host, "route", "add", "203.0.113.0/30", "via", ROUTER)
        ip("-n", self.target, "route", "add", "198.51.100.0/30", "via", "203.0.113.1")
        self.sysctl(self.router, "net.ipv4.ip_forward=1")
        self.sysctl(self.quiet, "net.ipv4.icmp_echo_ignore_all=1")

    def link(self, left, left_address, right, right_address):
        # Both ends are made inside their namespaces, so the names need only
        # be unique there.
        left_end, right_end = f"to-{right.rsplit('-', 1)[1]}", f"to-{left.rsplit('-', 1)[1]}"
        ip("link", "add", left_end, "netns", left, "type", "veth",
           "peer", "name", right_end, "netns", right)
        for namespace, end, address in ((left, left_end, left_address),
                                        (right, right_end, right_address)):
            ip("-n", namespace, "address", "add", address, "dev", end)
            ip("-n", namespace, "link", "set", end, "up")

    @staticmethod
    def sysctl(namespace, setting):
        run(in_namespace(namespace, "sysctl", "-q", "-w", setting))

    def close(self):
        for namespace in reversed(self.made):
            subprocess.run(["ip", "netns", "delete", namespace], check=False)


# ---------------------------------------------------------------- Wine


def console_text(path):
    """What a Windows console program wrote, with its CRLF line ends as LF."""
    return path.read_text(errors="replace").replace("\r\n", "\n")


class Wine:
    """A Wine prefix of its own whose wineserver runs inside the namespace."""

    def __init__(self, namespace, work_dir, build):
        self.namespace = namespace
        self.build = build
        self.env = dict(os.environ,
                        WINEPREFIX=str(work_dir / "prefix"), WINEARCH="win32", WINEDEBUG="-all",
                        # No Mono or Gecko set-up, which would try to download them.
                        WINEDLLOVERRIDES="mscoree,mshtml=d")
        self.env.pop("DISPLAY", None)
        self.output = work_dir / "output"
        self.errors = work_dir / "errors"
        self.setup_log = work_dir / "setup.log"
        self.started = False

    def start(self):
        Path(self.env["WINEPREFIX"]).mkdir()
        # Started with no pipes: the server and the services wineboot leaves
        # running would hold them open and block whoever reads them.
        self.started = True
        with open(self.setup_log, "w") as log:
            for command in (["wineserver", "-p"], ["wineboot", "-i"]):
                status = subprocess.run(in_namespace(self.namespace, *command), env=self.env,
                                        stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                        timeout=120).returncode
                expect(status == 0, f"{' '.join(command)} failed", self.setup_log.read_text())

    def run(self, exe, *arguments, timeout=30):
        """Runs the program in the namespace: (status, stdout, stderr, seconds)."""
        with open(self.output, "w") as stdout, open(self.errors, "w") as stderr:
            started = time.monotonic()
            status = subprocess.run(in_namespace(self.namespace, "wine", str(exe), *arguments),
                                    stdin=subprocess.DEVNULL, stdout=stdout, stderr=stderr,
                                    env=self.env, timeout=timeout).returncode
            seconds = time.monotonic() - started
        return status, console_text(self.output), console_text(self.errors), seconds

    def qping(self, *arguments, timeout=30):
        return self.run(self.build / "qping.exe", *arguments, timeout=timeout)

    def close(self):
        if self.started:
            subprocess.run(["wineserver", "-k"], env=self.env, check=False,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
            subprocess.run(["wineserver", "-w"], env=self.env, check=False, timeout=30,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)


# ---------------------------------------------------------------- the runs


def reply_lines(output):
    return [match.groupdict() for match in re.finditer(f"^{REPLY_LINE}$", output, re.MULTILINE)]


def statistics(output):
    """(sent, received, lost, min, max, average) from the closing block."""
    match = re.search(r"Sent = (\d+), Rec = (\d+), Lost = (\d+)\n"
                      r"Min = (\d+), Max = (\d+), AVG = (\d+)\n$", output)
    return tuple(int(number) for number in match.groups()) if match else None


def check_tick_count(wine, network):
    """The tick the program reads has 1 ms resolution under Windows' API."""
    status, output, errors, _ = wine.run(wine.build / "tests/windows/tick_count_test.exe")
    expect(status == 0 and output.endswith("tick ok\n"), "the tick test failed", output + errors)


def check_rejected_option(wine, network):
    """A bad option prints the usage text; -1 from main shows as 255 here."""
    status, output, _, _ = wine.qping("-x", ROUTER)
    expect(output.startswith("usage: ") and "-r           Record route (IPv4 only)\n" in output,
           "no usage text", output)
    expect(status == 255, f"exit status {status}", output)


def check_replies(wine, network):
    """Two echo replies from the router, with the -l and -i settings shown,
    the statistics, status 0, and the one-second pause after each request."""
    status, output, errors, seconds = wine.qping("-c", "2", "-l", "100", "-i", "64", ROUTER)
    expect(f"\nQuorvel Network Testing V 0.0.3\nTarget: {ROUTER} with 100 bytes of data\n\n"
           in output, "no banner", output)
    replies = reply_lines(output)
    expect([(line["source"], line["bytes"], line["ttl"]) for line in replies] ==
           [(ROUTER, "100", "64")] * 2, "not two reply lines from the router", output)
    times = [int(line["ms"] or 0) for line in replies]
    expect(statistics(output) == (2, 2, 0, min(times), max(times), sum(times) // 2),
           "statistics that do not match the reply lines", output)
    expect(status == 0, f"exit status {status}", output + errors)
    expect(seconds >= 2, f"two requests took {seconds:.1f} s, less than their two pauses")


def check_time_out(wine, network):
    """A host that does not answer: the time-out line after the 6-second wait
    and the 1-second pause, all lost, status 0."""
    status, output, errors, seconds = wine.qping("-c", "1", QUIET)
    expect("\nRequest timed out.\n" in output and not reply_lines(output), "no time-out line",
           output)
    expect(statistics(output) == (1, 0, 1, 0, 0, 0), "wrong statistics", output)
    expect(status == 0, f"exit status {status}", output + errors)
    expect(6.9 <= seconds <= 12, f"took {seconds:.1f} s instead of about 7", output)


def check_record_route(wine, network):
    """-r towards the host behind the router: under the reply line, the
    addresses Linux recorded, leaving each hop there and back."""
    status, output, errors, _ = wine.qping("-r", "-c", "1", TARGET)
    hops = ["198.51.100.1", "203.0.113.1", TARGET, TARGET, ROUTER, "198.51.100.1"]
    route = "    Route: " + " ->\n           ".join(hops) + "\n"
    expect(re.search(f"^{REPLY_LINE}\n{re.escape(route)}", output, re.MULTILINE),
           "no route lines under the reply line", output)
    expect(status == 0, f"exit status {status}", output + errors)


def check_millisecond_times(wine, network):
    """Replies held back 5 ms read 4 to 9 ms, measured from send to reply.
    (Wine refreshes its GetTickCount at every wait, so this alone would not
    show Windows' coarse tick: check_tick_count does.)"""
    responder = subprocess.Popen(
        in_namespace(network.quiet, sys.executable, str(RESPONDER),
                     "--family", "4", "--requests", "3", "--time-limit", "30", "good@5"),
        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, text=True)
    try:
        expect(responder.stdout.readline() == "ready\n", "the responder did not start")
        status, output, errors, _ = wine.qping("-c", "3", QUIET)
    finally:
        responder.kill()
        responder.wait()
    replies = reply_lines(output)
    expect(len(replies) == 3, "not three reply lines", output)
    expect(all(line["ms"] is not None for line in replies),
           "a reply held back 5 ms read below 1 ms", output)
    expect(any(4 <= int(line["ms"]) <= 9 for line in replies),
           "no reply time between 4 and 9 ms", output)
    expect(status == 0, f"exit status {status}", output + errors)


def check_largest_request(wine, network):
    """65507 data bytes fill the largest IPv4 datagram and get their reply;
    with the 40 bytes of the record-route option added the send is refused
    (WSAEMSGSIZE), which ends the run without statistics."""
    status, output, errors, _ = wine.qping("-l", "65507", "-c", "1", ROUTER)
    expect([line["bytes"] for line in reply_lines(output)] == ["65507"], "no reply line", output)
    expect(status == 0, f"exit status {status}", output + errors)

    status, output, errors, _ = wine.qping("-r", "-l", "65507", "-c", "1", ROUTER)
    expect(errors == "sendto failed: 10040\n", "no 'sendto failed: 10040' line", errors)
    expect("Sent =" not in output, "statistics after a failed send", output)
    expect(status == 255, f"exit status {status}", output)


def check_bad_name(wine, network):
    """A name that cannot be resolved (the host namespace reaches no name
    server): the lookup's report, "bad name", status 255."""
    name = "no-such-host.invalid"
    status, output, errors, _ = wine.qping("-c", "1", name)
    expect(re.search(f"^Invalid address {re.escape(name)}, getaddrinfo failed: \\d+$", errors,
                     re.MULTILINE), "no lookup report on standard error", errors)
    expect(output == f"bad name {name}\n", "no 'bad name' line", output)
    expect(status == 255, f"exit status {status}", output)


def check_socket_refused(wine, network):
    """Wine refuses raw ICMPv6 sockets (Windows does not), which shows the
    refused-socket path: the message with the code, status 255."""
    status, output, _, _ = wine.qping("-a", "6", "-c", "1", "::1")
    expect(re.fullmatch(r"socket failed: \d+\n", output), "no 'socket failed' line", output)
    expect(status == 255, f"exit status {status}", output)


RUNS = [check_tick_count, check_rejected_option, check_replies, check_time_out, check_record_route,
        check_millisecond_times, check_largest_request, check_bad_name, check_socket_refused]


# ---------------------------------------------------------------- main


class Report:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, name, check, *arguments):
        try:
            check(*arguments)
        except (CheckFailed, subprocess.SubprocessError, OSError) as failure:
            self.failed += 1
            print(f"FAIL {name}: {failure}", flush=True)
        else:
            self.passed += 1
            print(f"ok   {name}", flush=True)


def run_under_wine(report, build):
    network = TestNetwork()
    work_dir = Path(tempfile.mkdtemp(prefix="qping-wine-"))
    wine = Wine(network.host, work_dir, build)
    try:
        network.build()
        wine.start()
        for check in RUNS:
            report.check(check.__name__, check, wine, network)
    finally:
        wine.close()
        network.close()
        shutil.rmtree(work_dir, ignore_errors=True)


def main(arguments):
    if len(arguments) not in (1, 2):
        print(__doc__, file=sys.stderr)
        return 2
    build32 = Path(arguments[0]).resolve()
    # A stop by signal still removes the namespaces and the wineserver.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    report = Report()
    report.check("32-bit file", check_file, build32 / "qping.exe",
                 "PE32 executable (console) Intel 80386")
    if len(arguments) == 2:
        report.check("64-bit file", check_file, Path(arguments[1]).resolve() / "qping.exe",
                     "PE32+ executable (console) x86-64")
    try:
        run_under_wine(report, build32)
    except (CheckFailed, subprocess.SubprocessError, OSError) as failure:
        report.failed += 1
        print(f"FAIL setting up namespaces or Wine: {failure}", flush=True)
    print(f"Windows: {report.passed} passed, {report.failed} failed")
    return 1 if report.failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
