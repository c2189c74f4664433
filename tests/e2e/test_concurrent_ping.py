"""Another program (iputils ping) pinging the same target from the same
namespace at the same time. Its replies reach qping's raw socket too, many
of them during each of qping's waits; none may be taken for qping's own."""

import time
import unittest

from qping_case import ClientTargetTestCase

OTHER_PINGS = 200
OTHER_INTERVAL_S = 0.02  # 4 s of pinging, past the end of qping's run
DELAY_MS = 50  # of every reply, to qping and to ping alike
QPING_REQUESTS = 2


class ConcurrentPingTest(ClientTargetTestCase):
    def test_other_ping_changes_nothing(self):
        for family in (4, 6):
            with self.subTest(family=family):
                address = self.target.left(family)
                responder = self.lab.start_responder(self.target, family, [f"good@{DELAY_MS}"],
                                                     requests=OTHER_PINGS + QPING_REQUESTS)
                ping = self.lab.start(self.client, "ping", "-q", "-c", str(OTHER_PINGS),
                                      "-i", str(OTHER_INTERVAL_S), address)
                time.sleep(0.2)  # ping is under way
                result = self.lab.qping(self.client, "-c", str(QPING_REQUESTS), address)
                self.assertIsNone(ping.poll(), "ping ended before qping did")
                times = self.reply_times(result, QPING_REQUESTS)
                for ms in times:
                    self.assert_not_earlier(ms, DELAY_MS)
                self.assert_replies_shown(family, result, times)
                ping_output, _ = ping.communicate(timeout=10)
                self.assertEqual(ping.returncode, 0, ping_output)
                self.assertEqual(len(responder.stop()), OTHER_PINGS + QPING_REQUESTS)


if __name__ == "__main__":
    unittest.main()
