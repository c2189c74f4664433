"""Which answers end qping's wait: only the reply to the current request, or
an error about it. Whatever else comes in must go unreported, and must not
move the end of the wait either."""

import unittest

from qping_case import TIMED_OUT, ClientTargetTestCase, banner, error_line, reply, statistics

# Sent at once, ahead of the real reply; see responder.py.
DECOYS = ("wrong-identifier", "wrong-sequence", "wrong-code", "bad-checksum", "foreign-error")
WAIT_S = 6
PAUSE_S = 1


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
                self.assert_only_replies_shown(family, ["good@20", "previous@0 good@30"],
                                               [20, 30])

    def test_decoys_do_not_extend_the_wait(self):
        # Decoys all through the wait, the last just before its end: the
        # time-out must still come 6 s after the send.
        decoys = " ".join(f"wrong-sequence@{ms}" for ms in (0, 2000, 4000, 5900))
        result = self.ping_planned(4, [decoys], 1)
        self.assert_result(result, banner(self.target.left4) + TIMED_OUT + statistics(1, []))
        self.assertGreaterEqual(result.seconds, WAIT_S + PAUSE_S)
        self.assertLess(result.seconds, WAIT_S + PAUSE_S + 0.9)


class ErrorAnswerTest(ClientTargetTestCase):
    def test_error_about_the_request_ends_its_wait(self):
        # The error is counted lost; the next request is answered as usual.
        for family in (4, 6):
            with self.subTest(family=family):
                address = self.target.left(family)
                result = self.ping_planned(family, ["time-exceeded@10", "good@20"], 2)
                times = self.reply_times(result, 1)
                self.assert_not_earlier(times[0], 20)
                self.assert_result(result, banner(address)
                                   + self.request_lines(family)
                                   + error_line(address, "TTL expired in transit.")
                                   + self.request_lines(family) + reply(address, times[0])
                                   + statistics(2, times))


if __name__ == "__main__":
    unittest.main()
