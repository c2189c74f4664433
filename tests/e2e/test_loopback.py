"""qping against the loopback of a fresh namespace, where its raw socket also
receives the tool's own request, which must never be taken for the reply."""

import unittest

from netlab import QPING, read_until
from qping_case import LabTestCase, banner, ipv6_checksum_lines, reply, statistics

WSAEINVAL = 10022


class LoopbackTest(LabTestCase):
    def setUp(self):
        super().setUp()
        self.host = self.lab.add_node("host")

    def test_one_reply_per_request(self):
        # The raw socket gets the tool's own request as well; replies held
        # back a little tell it from the real one.
        for family, target, checksum_lines in ((4, "127.0.0.1", ""),
                                               (6, "::1", ipv6_checksum_lines("::1"))):
            with self.subTest(target=target):
                responder = self.lab.start_responder(self.host, family, ["good@20"], requests=2)
                result = self.lab.qping(self.host, "-c", "2", target)
                self.assertEqual(len(responder.stop()), 2, "requests received")
                times = self.reply_times(result, 2)
                for ms in times:
                    self.assert_not_earlier(ms, 20)
                self.assert_result(result, banner(target)
                                   + checksum_lines + reply(target, times[0])
                                   + checksum_lines + reply(target, times[1])
                                   + statistics(2, times))

    def test_lines_show_as_they_happen(self):
        # Read through a pipe: the first reply line must come while the tool
        # is still busy with its pause and the second request.
        run = self.lab.start(self.host, QPING, "-c", "2", "127.0.0.1")
        shown = read_until(run, " TTL=128\n", timeout_s=1)
        self.assertIsNone(run.poll(), "qping ended before its first reply line was read")
        self.assertTrue(shown.startswith(banner("127.0.0.1") + "127.0.0.1: bytes=32 time"), shown)
        _, errors = run.communicate(timeout=10)
        self.assertEqual((run.returncode, errors), (0, ""))

    def test_options_show_in_reply_lines(self):
        result = self.lab.qping(self.host, "-c", "1", "-i", "64", "-l", "100", "127.0.0.1")
        times = self.reply_times(result, 1)
        self.assert_result(result, banner("127.0.0.1", data_size=100)
                           + reply("127.0.0.1", times[0], data_size=100, ttl=64)
                           + statistics(1, times))

    def test_refused_ttl_is_reported_and_the_run_goes_on(self):
        result = self.lab.qping(self.host, "-c", "1", "-i", "300", "127.0.0.1")
        times = self.reply_times(result, 1)
        self.assert_result(result, banner("127.0.0.1") + reply("127.0.0.1", times[0], ttl=300)
                           + statistics(1, times),
                           stderr=f"SetTtl: setsockopt failed: {WSAEINVAL}\n")

    def test_no_destination_pings_the_wildcard_address(self):
        # Linux takes the wildcard address for the host itself; the answer
        # comes from its loopback address.
        for family, wildcard, answerer, checksum_lines in (
            ("4", "0.0.0.0", "127.0.0.1", ""),
            ("6", "::", "::1", ipv6_checksum_lines("::1")),
        ):
            with self.subTest(wildcard=wildcard):
                result = self.lab.qping(self.host, "-c", "1", "-a", family)
                times = self.reply_times(result, 1)
                self.assert_result(result, banner(wildcard) + checksum_lines
                                   + reply(answerer, times[0]) + statistics(1, times))

    def test_zero_count_sends_nothing(self):
        result = self.lab.qping(self.host, "-c", "0", "127.0.0.1")
        self.assert_result(result, banner("127.0.0.1") + statistics(0, []))


if __name__ == "__main__":
    unittest.main()
