// The checksum of the echo request, filled in before every send.
#pragma once

#include <cstdint>

#include "packet/echo_request.h"
#include "platform/platform.h"

// Largest message the IPv6 checksum can cover: it is summed behind a 40-byte
// pseudo-header, plus one pad byte, in a 65535-byte scratch area.
constexpr int kMaxChecksumV6Length = 65494;

// Fills the checksum field for the run's family: the plain Internet checksum
// for IPv4, the one over the IPv6 pseudo-header for IPv6.
void ChecksumEcho(SOCKET socket, EchoRequest* packet, int length, const addrinfo* destination);

// The ICMPv6 checksum of the message (whose checksum field must be 0), using
// the source address the system would send from. 0xFFFF when that address
// cannot be found or the message is longer than kMaxChecksumV6Length.
std::uint16_t ChecksumV6(SOCKET socket, const EchoRequest* packet, int length,
                         const addrinfo* destination);
