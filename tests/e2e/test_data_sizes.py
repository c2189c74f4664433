"""Data sizes that a real kernel must accept and answer: its checks of the
checksum (over an odd number of bytes too), of the length, and of a request
too big for one link frame, which goes in fragments."""

import unittest

from qping_case import LabTestCase, banner, ipv6_checksum_lines, reply, statistics


class DataSizeTest(LabTestCase):
    def assert_answered(self, client, target, data_size, source6):
        result = self.lab.qping(client, "-c", "1", "-l", str(data_size), target)
        times = self.reply_times(result, 1)
        checksum_lines = ipv6_checksum_lines(source6, data_size) if ":" in target else ""
        self.assert_result(result, banner(target, data_size) + checksum_lines
                           + reply(target, times[0], data_size) + statistics(1, times))

    def test_sizes_through_a_router(self):
        client, _, target = self.lab.chain("client", "router", "target")
        for family in (4, 6):
            for data_size in (0, 33, 3000):
                with self.subTest(family=family, data_size=data_size):
                    self.assert_answered(client, target.left(family), data_size, client.right6)

    def test_largest_size_of_each_family(self):
        host = self.lab.add_node("host")
        for target, largest in (("127.0.0.1", 65507), ("::1", 65486)):
            with self.subTest(target=target):
                self.assert_answered(host, target, largest, "::1")


if __name__ == "__main__":
    unittest.main()
