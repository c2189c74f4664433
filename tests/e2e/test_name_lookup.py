"""A destination name that cannot be resolved. The lookup runs in a namespace
whose resolver points at its own loopback, where no server listens, and which
has no route out: no real name server can ever be asked."""

import unittest

from qping_case import STATUS_FAILED, LabTestCase

UNKNOWN_NAME = "no-such-host.invalid"
# getaddrinfo's "try again" (no name server answered), as a Winsock code.
WSATRY_AGAIN = 11002


class NameLookupTest(LabTestCase):
    def test_unresolvable_destination(self):
        isolated = self.lab.add_node("isolated")
        self.lab.isolate_resolver(isolated)
        result = self.lab.qping(isolated, "-c", "1", UNKNOWN_NAME)
        self.assert_result(
            result, f"bad name {UNKNOWN_NAME}\n",
            stderr=f"Invalid address {UNKNOWN_NAME}, getaddrinfo failed: {WSATRY_AGAIN}\n",
            status=STATUS_FAILED)


if __name__ == "__main__":
    unittest.main()
