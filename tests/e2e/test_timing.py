"""Reply times, the longest accepted reply time, and time-outs, against a
target that holds its replies back for a planned time."""

import unittest
from statistics import median

from qping_case import TIMED_OUT, ClientTargetTestCase, banner, late_reply, reply, statistics


class ReplyTimingTest(ClientTargetTestCase):
    def test_reply_within_the_limit_shows_its_delay(self):
        # A single reading can be thrown off by the virtual machine's host
        # taking the processor away for some 10 ms; the middle one of three
        # is not. A tool that reads time too coarsely misses in most.
        for family in (4, 6):
            with self.subTest(family=family):
                result = self.ping_planned(family, ["good@50"], 3, "-m", "100")
                times = self.reply_times(result, 3)
                for ms in times:
                    self.assert_not_earlier(ms, 50)
                self.assert_delay_shown(median(times), 50)
                self.assert_replies_shown(family, result, times)

    def test_reply_slower_than_the_limit_is_lost(self):
        for family in (4, 6):
            with self.subTest(family=family):
                address = self.target.left(family)
                result = self.ping_planned(family, ["good@80"], 1, "-m", "40")
                self.assert_result(result, banner(address) + self.request_lines(family)
                                   + late_reply(address, 40) + statistics(1, []))

    def test_silent_target_times_out(self):
        address = self.target.left4
        result = self.ping_planned(4, [""], 1)
        self.assert_result(result, banner(address) + TIMED_OUT + statistics(1, []))

    def test_reply_after_the_time_out_is_not_taken_for_the_next(self):
        # The first reply comes during the pause after its time-out; the
        # second request must still wait for, and time, its own reply.
        address = self.target.left4
        result = self.ping_planned(4, ["good@6500", "good@30"], 2)
        times = self.reply_times(result, 1)
        self.assert_not_earlier(times[0], 30)
        self.assert_result(result, banner(address) + TIMED_OUT + reply(address, times[0])
                           + statistics(2, times))


if __name__ == "__main__":
    unittest.main()
