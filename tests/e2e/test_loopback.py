"""qping against the loopback of a fresh namespace: the command line, the
data size limits, and the tool's own request, which its raw socket receives
on loopback and must never take for the reply."""

import unittest

from netlab import QPING, qping_outside_lab
from qping_case import (STATUS_FAILED, LabTestCase, banner, ipv6_checksum_lines, reply,
                        statistics, usage)


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

    def test_options_show_in_reply_lines(self):
        result = self.lab.qping(self.host, "-c", "1", "-i", "64", "-l", "100", "127.0.0.1")
        times = self.reply_times(result, 1)
        self.assert_result(result, banner("127.0.0.1", data_size=100)
                           + reply("127.0.0.1", times[0], data_size=100, ttl=64)
                           + statistics(1, times))

    def test_zero_count_sends_nothing(self):
        result = self.lab.qping(self.host, "-c", "0", "127.0.0.1")
        self.assert_result(result, banner("127.0.0.1") + statistics(0, []))

    def test_largest_data_size_of_each_family_is_answered(self):
        for target, largest, checksum_lines in (
            ("127.0.0.1", 65507, ""),
            ("::1", 65486, ipv6_checksum_lines("::1", data_size=65486)),
        ):
            with self.subTest(target=target):
                result = self.lab.qping(self.host, "-c", "1", "-l", str(largest), target)
                times = self.reply_times(result, 1)
                self.assert_result(result, banner(target, data_size=largest) + checksum_lines
                                   + reply(target, times[0], data_size=largest)
                                   + statistics(1, times))

    def test_data_size_beyond_the_family_limit_is_refused(self):
        for target, data_size in (("127.0.0.1", -1), ("127.0.0.1", 65508), ("::1", 65487)):
            with self.subTest(target=target, data_size=data_size):
                result = self.lab.qping(self.host, "-l", str(data_size), target)
                self.assert_result(result, "", stderr=f"bad data size {data_size}\n",
                                   status=STATUS_FAILED)


class CommandLineTest(unittest.TestCase):
    def test_bad_option_prints_usage(self):
        for arguments in (["-t", "5", "127.0.0.1"], ["-a", "x", "127.0.0.1"], ["127.0.0.1", "-c"]):
            with self.subTest(arguments=arguments):
                result = qping_outside_lab(*arguments)
                self.assertEqual(result.stdout, usage(QPING))
                self.assertEqual(result.stderr, "")
                self.assertEqual(result.returncode, STATUS_FAILED)


if __name__ == "__main__":
    unittest.main()
