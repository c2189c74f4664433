#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into corpus/<target>/.

The seeds are small, well-formed inputs the fuzzers start from: typical command
lines, and datagrams as the raw socket delivers them (an IPv4 datagram with its
header, a bare ICMPv6 message). Run it again after changing a seed here.
"""
import pathlib
import struct
import sys

HERE = pathlib.Path(__file__).resolve().parent
CORPUS = HERE / "corpus"

# The RFC 1071 checksum of the end-to-end tests' responder.
sys.path.insert(0, str(HERE.parent / "tests" / "e2e"))
from responder import internet_checksum as checksum  # noqa: E402

IDENTIFIER_AND_SEQUENCE = bytes([0x34, 0x12, 0x78, 0x56])  # as the request stores them
SOURCE = bytes([198, 51, 100, 1])
DESTINATION = bytes([198, 51, 100, 2])
ROUTER = bytes([203, 0, 113, 1])
ECHO_DATA_V4 = b"E" * 32
ECHO_DATA_V6 = b"#" * 32


def icmp(message_type, code, rest):
    """An ICMP or ICMPv6 message with its checksum filled in."""
    unsummed = struct.pack("!BBH", message_type, code, 0) + rest
    return unsummed[:2] + struct.pack("!H", checksum(unsummed)) + unsummed[4:]


def ipv4(payload, source, destination, options=b"", protocol=1):
    header_length = 20 + len(options)
    header = struct.pack("!BBHHHBBH4s4s", 0x40 | header_length // 4, 0,
                         header_length + len(payload), 0x1234, 0, 64, protocol, 0,
                         source, destination) + options
    header = header[:10] + struct.pack("!H", checksum(header)) + header[12:]
    return header + payload


def ipv6_header(payload_length, next_header=58):
    return struct.pack("!IHBB16s16s", 6 << 28, payload_length, next_header, 64,
                       bytes(15) + b"\1", bytes(15) + b"\1")


def record_route(hops):
    """A record-route option with nine slots, the first ones filled, padded to 40 bytes."""
    slots = b"".join(hops) + bytes(4 * (9 - len(hops)))
    return bytes([7, 39, 4 + 4 * len(hops)]) + slots + b"\0"


ECHO_REQUEST_V4 = icmp(8, 0, IDENTIFIER_AND_SEQUENCE + ECHO_DATA_V4)
ECHO_REQUEST_V6 = icmp(128, 0, IDENTIFIER_AND_SEQUENCE + ECHO_DATA_V6)
ECHO_REPLY_V4 = icmp(0, 0, IDENTIFIER_AND_SEQUENCE + ECHO_DATA_V4)

DATAGRAMS_V4 = {
    "echo_reply_v4": ipv4(ECHO_REPLY_V4, DESTINATION, SOURCE),
    "echo_reply_v4_record_route": ipv4(ECHO_REPLY_V4, DESTINATION, SOURCE,
                                       record_route([SOURCE, DESTINATION])),
    "time_exceeded_v4": ipv4(icmp(11, 0, bytes(4) + ipv4(ECHO_REQUEST_V4, SOURCE, DESTINATION)[:28]),
                             ROUTER, SOURCE),
}
MESSAGES_V6 = {
    "echo_reply_v6": icmp(129, 0, IDENTIFIER_AND_SEQUENCE + ECHO_DATA_V6),
    "time_exceeded_v6": icmp(3, 0, bytes(4) + ipv6_header(len(ECHO_REQUEST_V6)) + ECHO_REQUEST_V6),
}

SEEDS = {
    "parse_options": {
        "count_and_host": b"-c\0002\000127.0.0.1",
        "ipv6": b"-a\0006\000-c\0001\000::1",
        "every_option": b"/r\0-i\00064\0-l\0001472\0-m\000100\0-C\0003\0host",
        "value_glued_to_letter": b"-i64\0host",
        "help": b"/?",
        "bad_family": b"-a\0x\0host",
        "missing_value": b"host\0-i",
    },
    # First byte 0: IPv4, 1: IPv6; then the request's identifier and sequence.
    "classify_datagram": {
        **{name: b"\0" + IDENTIFIER_AND_SEQUENCE + d for name, d in DATAGRAMS_V4.items()},
        **{name: b"\1" + IDENTIFIER_AND_SEQUENCE + m for name, m in MESSAGES_V6.items()},
    },
    "route_report": {
        **DATAGRAMS_V4,
        "full_record_route": ipv4(ECHO_REPLY_V4, DESTINATION, SOURCE, record_route([ROUTER] * 9)),
        "no_operation_before_record_route": ipv4(ECHO_REPLY_V4, DESTINATION, SOURCE,
                                                 b"\1" + record_route([ROUTER])[:-1]),
    },
}


def main():
    for target, seeds in SEEDS.items():
        directory = CORPUS / target
        directory.mkdir(parents=True, exist_ok=True)
        for name, content in seeds.items():
            (directory / name).write_bytes(content)


if __name__ == "__main__":
    main()
