#!/usr/bin/env python3
"""Answers IPv4 echo requests after a fixed delay, in place of the kernel.

Run inside a test namespace whose kernel echo replies are switched off
(net.ipv4.icmp_echo_ignore_all=1). Prints "ready" once it listens, answers
at most --count requests and gives up after --seconds, whichever comes first.
"""

import argparse
import select
import socket
import struct
import sys
import time

ECHO_REQUEST = 8
ECHO_REPLY = 0


def internet_checksum(data: bytes) -> int:
    if len(data) % 2:
        data += b"\0"
    total = sum(struct.unpack(f"!{len(data) // 2}H", data))
    while total >> 16:
        total = (total >> 16) + (total & 0xFFFF)
    return ~total & 0xFFFF


def echo_reply_for(datagram: bytes):
    """The echo reply to an IPv4 datagram holding an echo request, else None."""
    header_length = (datagram[0] & 0x0F) * 4
    request = datagram[header_length:]
    if len(request) < 8 or request[0] != ECHO_REQUEST:
        return None
    unsummed = bytes([ECHO_REPLY, 0, 0, 0]) + request[4:]
    checksum = struct.pack("!H", internet_checksum(unsummed))
    return unsummed[:2] + checksum + unsummed[4:]


def serve(delay_s: float, count: int, seconds: float) -> None:
    deadline = time.monotonic() + seconds
    with socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_ICMP) as raw:
        print("ready", flush=True)
        answered = 0
        while answered < count:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([raw], [], [], left)[0]:
                return
            datagram, (source, _) = raw.recvfrom(65535)
            reply = echo_reply_for(datagram)
            if reply is None:
                continue
            time.sleep(delay_s)
            raw.sendto(reply, (source, 0))
            answered += 1


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--delay-ms", type=float, required=True)
    parser.add_argument("--count", type=int, required=True)
    parser.add_argument("--seconds", type=float, required=True)
    arguments = parser.parse_args()
    serve(arguments.delay_ms / 1000, arguments.count, arguments.seconds)
    return 0


if __name__ == "__main__":
    sys.exit(main())
