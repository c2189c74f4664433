#!/usr/bin/env python3
"""A scripted ICMP / ICMPv6 echo responder for the end-to-end tests.

It runs in the target namespace, where the kernel's own echo replies are
switched off, and answers each echo request it receives by a plan:

    responder.py --family 4 --requests 2 --time-limit 15 -- "good@20 good@20" "previous@0 good@30"

A plan is a space-separated list of answers KIND@DELAY_MS, each sent DELAY_MS
after the request arrived, in the order written when their times are equal.
Plan k serves request k and the last plan every later one; an empty plan
answers nothing. The kinds:

    good              the echo reply the requester waits for
    wrong-identifier  an echo reply with the identifier off by one
    wrong-sequence    an echo reply with the sequence off by one
    wrong-code        an echo reply with code 1
    bad-checksum      an echo reply with a wrong checksum (IPv4 only: on IPv6
                      the kernel fills in the checksum of every raw message)
    previous          the good reply to the previous request, late
    time-exceeded     a "time exceeded" error about the request
    foreign-error     a "time exceeded" error about somebody else's request
                      (the same but for its identifier)

It prints "ready" once it listens and "request identifier=I sequence=S" for
each echo request. It ends after --requests requests, once all their answers
are out, or after --time-limit seconds, whichever comes first.
"""

import argparse
import heapq
import os
import select
import socket
import struct
import sys
import time
from dataclasses import dataclass
from itertools import count

ECHO_REQUEST = {4: 8, 6: 128}
ECHO_REPLY = {4: 0, 6: 129}
TIME_EXCEEDED = {4: 11, 6: 3}
PROTOCOL = {4: socket.IPPROTO_ICMP, 6: socket.IPPROTO_ICMPV6}
ADDRESS_FAMILY = {4: socket.AF_INET, 6: socket.AF_INET6}
MAX_DATAGRAM = 65535
PKTINFO_SIZE = 20  # struct in6_pktinfo: the address, then the interface index


@dataclass(frozen=True)
class Request:
    source: tuple  # the requester's socket address, as recvmsg gave it
    destination: bytes  # the address the request was sent to, packed
    identifier: int
    sequence: int
    data: bytes


def internet_checksum(data):
    if len(data) % 2:
        data += b"\0"
    total = sum(struct.unpack(f"!{len(data) // 2}H", data))
    while total > 0xFFFF:
        total = (total >> 16) + (total & 0xFFFF)
    return ~total & 0xFFFF


def icmp_message(family, message_type, code, body):
    """An ICMP message; for IPv6 the kernel fills in the checksum on sending."""
    message = struct.pack("!BBH", message_type, code, 0) + body
    if family == 4:
        message = message[:2] + struct.pack("!H", internet_checksum(message)) + message[4:]
    return message


def echo_reply(family, request, identifier=None, sequence=None, code=0):
    identifier = request.identifier if identifier is None else identifier
    sequence = request.sequence if sequence is None else sequence
    body = struct.pack("!HH", identifier, sequence) + request.data
    return icmp_message(family, ECHO_REPLY[family], code, body)


def bad_checksum_reply(family, request):
    reply = bytearray(echo_reply(family, request))
    # Never maps a valid checksum to its other one's-complement form (0 / 0xFFFF).
    reply[2:4] = struct.pack("!H", struct.unpack("!H", reply[2:4])[0] ^ 0x5555)
    return bytes(reply)


def quoted_header(family, request, length):
    """The IP header of the request, as an error message quotes it."""
    source = socket.inet_pton(ADDRESS_FAMILY[family], request.source[0])
    if family == 4:
        header = struct.pack("!BBHHHBBH4s4s", 0x45, 0, 20 + length, 0, 0, 64,
                             socket.IPPROTO_ICMP, 0, source, request.destination)
        return header[:10] + struct.pack("!H", internet_checksum(header)) + header[12:]
    return struct.pack("!IHBB16s16s", 6 << 28, length, socket.IPPROTO_ICMPV6, 64, source,
                       request.destination)


def time_exceeded(family, request, identifier):
    """A "time exceeded" error about the request, sent with this identifier."""
    quoted_request = icmp_message(family, ECHO_REQUEST[family], 0,
                                  struct.pack("!HH", identifier, request.sequence) + request.data)
    quote = quoted_header(family, request, len(quoted_request)) + quoted_request
    return icmp_message(family, TIME_EXCEEDED[family], 0, b"\0\0\0\0" + quote)


# Each kind: (family, request, previous request) -> the message to send.
ANSWERS = {
    "good": lambda family, request, previous: echo_reply(family, request),
    "wrong-identifier": lambda family, request, previous: echo_reply(
        family, request, identifier=(request.identifier + 1) & 0xFFFF),
    "wrong-sequence": lambda family, request, previous: echo_reply(
        family, request, sequence=(request.sequence + 1) & 0xFFFF),
    "wrong-code": lambda family, request, previous: echo_reply(family, request, code=1),
    "bad-checksum": lambda family, request, previous: bad_checksum_reply(family, request),
    "previous": lambda family, request, previous: echo_reply(family, previous),
    "time-exceeded": lambda family, request, previous: time_exceeded(
        family, request, request.identifier),
    "foreign-error": lambda family, request, previous: time_exceeded(
        family, request, request.identifier ^ 0xFFFF),
}


def parse_plan(text):
    """'good@20 previous@0' -> [("good", 20), ("previous", 0)]."""
    answers = []
    for token in text.split():
        kind, _, delay = token.partition("@")
        if kind not in ANSWERS or not delay.isdigit():
            raise ValueError(f"bad answer {token!r}")
        answers.append((kind, int(delay)))
    return answers


def receive_request(family, sock):
    """The next datagram, as an echo request, or None for anything else."""
    datagram, ancillary, _, source = sock.recvmsg(MAX_DATAGRAM, socket.CMSG_SPACE(PKTINFO_SIZE))
    if family == 4:
        # IPv4 raw sockets get the IP header, and in it the destination.
        destination = datagram[16:20]
        datagram = datagram[(datagram[0] & 0x0F) * 4:]
    else:
        destination = next(data[:16] for level, kind, data in ancillary
                           if (level, kind) == (socket.IPPROTO_IPV6, socket.IPV6_PKTINFO))
    if len(datagram) < 8 or datagram[0] != ECHO_REQUEST[family] or datagram[1] != 0:
        return None
    identifier, sequence = struct.unpack("!HH", datagram[4:8])
    return Request(source, destination, identifier, sequence, datagram[8:])


def open_socket(family):
    sock = socket.socket(ADDRESS_FAMILY[family], socket.SOCK_RAW, PROTOCOL[family])
    if family == 6:
        sock.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_RECVPKTINFO, 1)
    return sock


def serve(family, plans, request_limit, time_limit_s, realtime_priority):
    deadline = time.monotonic() + time_limit_s
    outbox = []  # heap of (send time, order, message, address)
    order = count()
    requests_seen = 0
    previous = None
    with open_socket(family) as sock:
        if realtime_priority:
            os.sched_setscheduler(0, os.SCHED_FIFO, os.sched_param(realtime_priority))
        print("ready", flush=True)
        while True:
            now = time.monotonic()
            while outbox and outbox[0][0] <= now:
                _, _, message, address = heapq.heappop(outbox)
                sock.sendto(message, address)
            if now >= deadline or (requests_seen >= request_limit and not outbox):
                return
            wake = min(deadline, outbox[0][0]) if outbox else deadline
            readable, _, _ = select.select([sock], [], [], wake - now)
            if not readable:
                continue
            request = receive_request(family, sock)
            if request is None or requests_seen >= request_limit:
                continue
            arrived = time.monotonic()
            print(f"request identifier={request.identifier} sequence={request.sequence}",
                  flush=True)
            for kind, delay_ms in plans[min(requests_seen, len(plans) - 1)]:
                message = ANSWERS[kind](family, request, previous)
                heapq.heappush(outbox,
                               (arrived + delay_ms / 1000, next(order), message, request.source))
            previous = request
            requests_seen += 1


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--family", type=int, choices=(4, 6), required=True)
    parser.add_argument("--requests", type=int, required=True,
                        help="requests to answer before ending")
    parser.add_argument("--time-limit", type=float, required=True, help="seconds at most")
    parser.add_argument("--realtime-priority", type=int, default=0,
                        help="serve at this real-time (FIFO) priority, once started")
    parser.add_argument("plans", nargs="+", help="answer plan of each request")
    options = parser.parse_args()
    try:
        plans = [parse_plan(plan) for plan in options.plans]
    except ValueError as error:
        parser.error(str(error))
    if any(kind == "previous" for kind, _ in plans[0]):
        parser.error("the first request has no previous one")
    if options.family == 6 and any(kind == "bad-checksum" for plan in plans for kind, _ in plan):
        parser.error("bad-checksum is IPv4 only: the kernel sets ICMPv6 checksums itself")
    serve(options.family, plans, options.requests, options.time_limit, options.realtime_priority)


if __name__ == "__main__":
    sys.exit(main())
