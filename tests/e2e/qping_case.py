"""What qping prints, line by line, and a test case that owns a Lab.

Every expected output is written out in full; only the reply times vary from
run to run, so a test first reads them from the output (reply_times) and then
compares the whole output with the text built from them.
"""

import ipaddress
import re
import unittest

from netlab import Lab

DEFAULT_DATA_SIZE = 32
DEFAULT_TTL = 128
# The tool reads whole milliseconds of a tick counter and measures a little
# more than the network delay: a reply held back D ms reads D to D + 2.
TIMING_SLACK_MS = 2
STATUS_FAILED = 255  # the tool's -1, as the shell sees it


def banner(target, data_size=DEFAULT_DATA_SIZE):
    return f"\nQuorvel Network Testing V 0.0.3\nTarget: {target} with {data_size} bytes of data\n\n"


def reply(address, ms, data_size=DEFAULT_DATA_SIZE, ttl=DEFAULT_TTL):
    time = "time<1ms" if ms == 0 else f"time={ms}ms"
    return f"{address}: bytes={data_size} {time} TTL={ttl}\n"


def late_reply(address, max_reply_ms):
    return f"{address}: Request timed out (reply time > {max_reply_ms}ms.\n"


TIMED_OUT = "Request timed out.\n"


def error_line(address, reason):
    return f"{address}: {reason}\n"


def route(*addresses):
    lines = [("    Route: " if index == 0 else " " * 11) + address
             for index, address in enumerate(addresses)]
    return " ->\n".join(lines) + "\n"


def ipv6_checksum_lines(source, data_size=DEFAULT_DATA_SIZE):
    """The two lines an IPv6 request prints: in hex, the first four bytes of
    its source address, then the four bytes of its length (8 + data_size),
    those as signed bytes (0x80 and above print as ffffff80 and so on)."""
    address_bytes = ipaddress.IPv6Address(source).packed[:4]
    length_bytes = (8 + data_size).to_bytes(4, "big")
    return ("".join(f"{byte:x}" for byte in address_bytes) + "\n"
            + "".join(f"{byte if byte < 0x80 else byte | 0xFFFFFF00:x}" for byte in length_bytes)
            + "\n")


def statistics(sent, times):
    """The closing block; times are those of the accepted replies."""
    received = len(times)
    lowest, highest = (min(times), max(times)) if times else (0, 0)
    average = int(sum(times) / received) if sum(times) else 0
    return (f"\n\nSent = {sent}, Rec = {received}, Lost = {sent - received}\n"
            f"Min = {lowest}, Max = {highest}, AVG = {average}\n")


def usage(program):
    return (f"usage: {program} [options] <host> \n"
            "        host        Remote machine to ping\n"
            "        options: \n"
            "            -a 4|6       Address family (default: AF_UNSPEC)\n"
            "            -i ttl       Time to live (default: 128) \n"
            "            -l bytes     Amount of data to send (default: 32) \n"
            "            -r           Record route (IPv4 only)\n")


class LabTestCase(unittest.TestCase):
    maxDiff = None

    def setUp(self):
        self.lab = Lab()
        self.addCleanup(self.lab.close)

    def reply_times(self, result, expected_count):
        """The reply times printed, in order (0 for "time<1ms")."""
        found = re.findall(r" time(?:<1|=(\d+))ms ", result.stdout)
        self.assertEqual(len(found), expected_count, result.stdout)
        return [int(ms or 0) for ms in found]

    def assert_result(self, result, stdout, stderr="", status=0):
        self.assertEqual(result.stdout, stdout)
        self.assertEqual(result.stderr, stderr)
        self.assertEqual(result.returncode, status)

    def assert_not_earlier(self, ms, delay_ms):
        """A reply time no shorter than the reply's delay. What else comes in
        before the reply comes sooner, so this tells the reply from it. How
        close to the delay the time reads is left to the timing test: other
        work on the machine, or its host, can add milliseconds to a reading."""
        self.assertGreaterEqual(ms, delay_ms, "reply time shorter than the reply's delay")

    def assert_delay_shown(self, ms, delay_ms):
        self.assert_not_earlier(ms, delay_ms)
        self.assertLessEqual(ms, delay_ms + TIMING_SLACK_MS, "reply time beyond the delay")


class ClientTargetTestCase(LabTestCase):
    """A client and a target on one link; the target answers by a plan."""

    def setUp(self):
        super().setUp()
        self.client, self.target = self.lab.chain("client", "target")

    def request_lines(self, family):
        """What each request prints before its answer: IPv6 only."""
        return ipv6_checksum_lines(self.client.right6) if family == 6 else ""

    def ping_planned(self, family, plans, count, *options):
        """Runs qping -c count against a responder with these plans; checks
        that the responder got every request and returns qping's result."""
        responder = self.lab.start_responder(self.target, family, plans, requests=count)
        result = self.lab.qping(self.client, "-c", str(count), *options, self.target.left(family))
        self.assertEqual(len(responder.stop()), count,
                         f"requests the target received; qping printed:\n{result.stdout}"
                         f"{result.stderr}")
        return result

    def assert_only_replies_shown(self, family, plans, delays_ms):
        """One reply line per request, timed from its planned delay, and
        nothing else: whatever else the plans send must go unreported."""
        result = self.ping_planned(family, plans, len(delays_ms))
        times = self.reply_times(result, len(delays_ms))
        for ms, delay_ms in zip(times, delays_ms):
            self.assert_not_earlier(ms, delay_ms)
        self.assert_replies_shown(family, result, times)

    def assert_replies_shown(self, family, result, times):
        """The whole output of a run whose requests all got a reply."""
        address = self.target.left(family)
        lines = "".join(self.request_lines(family) + reply(address, ms) for ms in times)
        self.assert_result(result, banner(address) + lines + statistics(len(times), times))
