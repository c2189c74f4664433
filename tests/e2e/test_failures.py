"""Runs that end in failure, with status -1 (255 to the shell): a bad command
line, a data size the family cannot carry, a name that cannot be resolved,
and a destination without a route."""

import unittest

from netlab import QPING, qping_outside_lab
from qping_case import STATUS_FAILED, LabTestCase, banner, usage

UNKNOWN_NAME = "no-such-host.invalid"
# Winsock's codes for getaddrinfo's "try again" (no name server answered)
# and for an unreachable network.
WSATRY_AGAIN = 11002
WSAENETUNREACH = 10051


class CommandLineTest(unittest.TestCase):
    def test_bad_command_line_prints_usage(self):
        for arguments in (["-t", "5", "127.0.0.1"], ["-a", "x", "127.0.0.1"], ["127.0.0.1", "-c"]):
            with self.subTest(arguments=arguments):
                result = qping_outside_lab(*arguments)
                self.assertEqual(result.stdout, usage(QPING))
                self.assertEqual(result.stderr, "")
                self.assertEqual(result.returncode, STATUS_FAILED)


class IsolatedNodeTest(LabTestCase):
    """A namespace with nothing but its loopback."""

    def setUp(self):
        super().setUp()
        self.node = self.lab.add_node("isolated")

    def test_data_size_beyond_the_family_limit_is_refused(self):
        for target, data_size in (("127.0.0.1", -1), ("127.0.0.1", 65508), ("::1", 65487)):
            with self.subTest(target=target, data_size=data_size):
                result = self.lab.qping(self.node, "-l", str(data_size), target)
                self.assert_result(result, "", stderr=f"bad data size {data_size}\n",
                                   status=STATUS_FAILED)

    def test_unresolvable_destination(self):
        # The namespace's resolver points at its own loopback, where no server
        # listens, and there is no route out: no real name server is asked.
        self.lab.isolate_resolver(self.node)
        result = self.lab.qping(self.node, "-c", "1", UNKNOWN_NAME)
        self.assert_result(
            result, f"bad name {UNKNOWN_NAME}\n",
            stderr=f"Invalid address {UNKNOWN_NAME}, getaddrinfo failed: {WSATRY_AGAIN}\n",
            status=STATUS_FAILED)

    def test_destination_without_a_route(self):
        # The send is refused: no statistics. On IPv6 the source address
        # query for the checksum fails first, and the request goes out
        # without its checksum lines.
        for target, query_report in (
            ("203.0.113.5", ""),
            ("2001:db8:ff::5", f"WSAIoctl failed: {WSAENETUNREACH}\n"),
        ):
            with self.subTest(target=target):
                result = self.lab.qping(self.node, "-c", "1", target)
                self.assert_result(result, banner(target),
                                   stderr=query_report + f"sendto failed: {WSAENETUNREACH}\n",
                                   status=STATUS_FAILED)


if __name__ == "__main__":
    unittest.main()
