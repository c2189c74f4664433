"""Answers that are not the reply to the current request: each must go
unreported, and the real reply must still be reported with its own time."""

import unittest

from qping_case import ClientTargetTestCase

# Sent at once, ahead of the real reply; see responder.py.
DECOYS = ("wrong-identifier", "wrong-sequence", "wrong-code", "bad-checksum", "foreign-error")


class IgnoredAnswersTest(ClientTargetTestCase):
    def test_decoy_ahead_of_the_reply(self):
        for family in (4, 6):
            for decoy in DECOYS:
                if family == 6 and decoy == "bad-checksum":
                    continue  # the kernel sets ICMPv6 checksums itself
                with self.subTest(family=family, decoy=decoy):
                    self.assert_only_replies_shown(family, [f"{decoy}@0 good@30"], [30])

    def test_duplicate_reply(self):
        for family in (4, 6):
            with self.subTest(family=family):
                self.assert_only_replies_shown(family, ["good@20 good@20", "good@30"], [20, 30])

    def test_late_reply_to_the_previous_request(self):
        for family in (4, 6):
            with self.subTest(family=family):
                self.assert_only_replies_shown(family, ["good@20", "previous@0 good@30"], [20, 30])


if __name__ == "__main__":
    unittest.main()
