// Deciding whether a received datagram answers the current echo request.
#pragma once

#include <cstdint>

#include "packet/echo_request.h"

enum class DatagramKind {
    NotOurs,    // anything else: not shown, the wait goes on
    EchoReply,  // the echo reply to the current request
    Error,      // an ICMP error about the current request
};

struct DatagramVerdict {
    DatagramKind kind;
    const char* reason;  // for Error: the text shown after the address
};

// Classifies a datagram as received on the run's raw socket: for AF_INET it
// starts with the IPv4 header, for AF_INET6 it is the bare ICMPv6 message.
// Only a reply or an error quoting the request's identifier and sequence is ours.
DatagramVerdict ClassifyDatagram(int family, const std::uint8_t* datagram, int length,
                                 const EchoRequest& request);
