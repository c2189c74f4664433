"""Runs through Linux routers: the recorded route, and the errors a router
sends back (hop limit run out, request too big for the next link)."""

import unittest

from qping_case import (LabTestCase, banner, error_line, ipv6_checksum_lines, reply, route,
                        statistics)


class RecordRouteTest(LabTestCase):
    # A Linux host records its outgoing address when it sends or forwards a
    # datagram, and the address it was reached at when it takes one in: the
    # client on sending, each router on the way, the target on taking the
    # request in and again on sending the reply, each router on the way
    # back, and the client on taking the reply in.

    def test_route_through_two_routers_both_ways(self):
        client, first, second, target = self.lab.chain("client", "first", "second", "target")
        hops = route(client.right4, first.right4, second.right4, target.left4,
                     target.left4, second.left4, first.left4, client.right4)
        result = self.lab.qping(client, "-r", "-c", "2", target.left4)
        times = self.reply_times(result, 2)
        self.assert_result(result, banner(target.left4)
                           + reply(target.left4, times[0]) + hops
                           + reply(target.left4, times[1]) + hops
                           + statistics(2, times))

    def test_full_option_keeps_the_first_nine_hops(self):
        client, *routers, target = self.lab.chain("client", "r1", "r2", "r3", "r4", "target")
        hops = route(client.right4, *(router.right4 for router in routers), target.left4,
                     target.left4, routers[-1].left4, routers[-2].left4)
        result = self.lab.qping(client, "-r", "-c", "1", target.left4)
        times = self.reply_times(result, 1)
        self.assert_result(result, banner(target.left4) + reply(target.left4, times[0]) + hops
                           + statistics(1, times))

    def test_no_route_is_recorded_over_ipv6(self):
        client, _, target = self.lab.chain("client", "router", "target")
        result = self.lab.qping(client, "-r", "-c", "1", target.left6)
        times = self.reply_times(result, 1)
        self.assert_result(result, banner(target.left6) + ipv6_checksum_lines(client.right6)
                           + reply(target.left6, times[0]) + statistics(1, times))


class RouterErrorTest(LabTestCase):
    def test_router_reports_the_hop_limit_run_out(self):
        # With -r the router's error carries the route recorded so far; an
        # error is no reply, and no route lines follow it.
        client, router, target = self.lab.chain("client", "router", "target")
        for family, options in ((4, []), (4, ["-r"]), (6, [])):
            with self.subTest(family=family, options=options):
                address = target.left(family)
                checksum_lines = ipv6_checksum_lines(client.right6) if family == 6 else ""
                result = self.lab.qping(client, "-i", "1", "-c", "1", *options, address)
                self.assert_result(result, banner(address) + checksum_lines
                                   + error_line(router.left(family), "TTL expired in transit.")
                                   + statistics(1, []))

    def test_router_reports_the_request_too_big_for_the_next_link(self):
        # The client's kernel learns the path's MTU from the error: the next
        # request goes in fragments and is answered.
        client, router, target = self.lab.chain("client", "router", "target")
        self.lab.set_link_mtu(router, target, 1280)
        for family in (4, 6):
            with self.subTest(family=family):
                address = target.left(family)
                checksum_lines = (ipv6_checksum_lines(client.right6, data_size=1400)
                                  if family == 6 else "")
                result = self.lab.qping(client, "-c", "2", "-l", "1400", address)
                times = self.reply_times(result, 1)
                self.assert_result(result, banner(address, data_size=1400)
                                   + checksum_lines
                                   + error_line(router.left(family), "Packet too big.")
                                   + checksum_lines + reply(address, times[0], data_size=1400)
                                   + statistics(2, times))


if __name__ == "__main__":
    unittest.main()
