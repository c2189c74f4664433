#include "run/reply_match.h"

#include <cstring>

#include "platform/platform.h"
#include "run/ipv4_header.h"

namespace {

constexpr int kIpv6HeaderLength = 40;
constexpr int kIpv4ProtocolOffset = 9;
constexpr int kIpv6NextHeaderOffset = 6;
constexpr std::uint8_t kProtocolIcmp = 1;
constexpr std::uint8_t kProtocolIcmpV6 = 58;

constexpr std::uint8_t kIcmpEchoReply = 0;
constexpr std::uint8_t kIcmpUnreachable = 3;
constexpr std::uint8_t kIcmpTimeExceeded = 11;
constexpr std::uint8_t kIcmpParameterProblem = 12;
constexpr std::uint8_t kIcmpV6Unreachable = 1;
constexpr std::uint8_t kIcmpV6PacketTooBig = 2;
constexpr std::uint8_t kIcmpV6TimeExceeded = 3;
constexpr std::uint8_t kIcmpV6ParameterProblem = 4;
constexpr std::uint8_t kIcmpV6EchoReply = 129;

constexpr DatagramVerdict kNotOurs{DatagramKind::NotOurs, nullptr};

constexpr const char* kTtlExpired = "TTL expired in transit.";
constexpr const char* kNetUnreachable = "Destination net unreachable.";
constexpr const char* kHostUnreachable = "Destination host unreachable.";
constexpr const char* kProtocolUnreachable = "Destination protocol unreachable.";
constexpr const char* kPortUnreachable = "Destination port unreachable.";
constexpr const char* kProhibited = "Communication administratively prohibited.";
constexpr const char* kPacketTooBig = "Packet too big.";
constexpr const char* kUnreachable = "Destination unreachable.";
constexpr const char* kParameterProblem = "Parameter problem.";

// A view of bytes that were actually received.
struct Bytes {
    const std::uint8_t* data;
    int length;

    Bytes From(int offset) const {
        return {data + offset, length - offset};
    }
};

// The IPv4 header length when the bytes start with a sound IPv4 header of the
// given protocol, else 0.
int HeaderLengthCarrying(Bytes datagram, std::uint8_t protocol) {
    const int headerLength = Ipv4HeaderLength(datagram.data, datagram.length);
    return headerLength != 0 && datagram.data[kIpv4ProtocolOffset] == protocol ? headerLength : 0;
}

// True when the message is an echo message of the given type carrying the
// request's identifier and sequence.
bool IsEchoOf(Bytes message, std::uint8_t type, const EchoRequest& request) {
    return message.length >= kEchoHeaderLength && message.data[0] == type && message.data[1] == 0 &&
           std::memcmp(message.data + 4, &request.identifier, 4) == 0;
}

const char* UnreachableReasonV4(std::uint8_t code) {
    switch (code) {
        case 0:
            return kNetUnreachable;
        case 1:
            return kHostUnreachable;
        case 2:
            return kProtocolUnreachable;
        case 3:
            return kPortUnreachable;
        case 4:
            return kPacketTooBig;
        case 9:
        case 10:
        case 13:
            return kProhibited;
        default:
            return kUnreachable;
    }
}

const char* ErrorReasonV4(std::uint8_t type, std::uint8_t code) {
    switch (type) {
        case kIcmpUnreachable:
            return UnreachableReasonV4(code);
        case kIcmpTimeExceeded:
            return kTtlExpired;
        case kIcmpParameterProblem:
            return kParameterProblem;
        default:
            return nullptr;
    }
}

const char* UnreachableReasonV6(std::uint8_t code) {
    switch (code) {
        case 0:
            return kNetUnreachable;
        case 1:
            return kProhibited;
        case 3:
            return kHostUnreachable;
        case 4:
            return kPortUnreachable;
        default:
            return kUnreachable;
    }
}

const char* ErrorReasonV6(std::uint8_t type, std::uint8_t code) {
    switch (type) {
        case kIcmpV6Unreachable:
            return UnreachableReasonV6(code);
        case kIcmpV6PacketTooBig:
            return kPacketTooBig;
        case kIcmpV6TimeExceeded:
            return kTtlExpired;
        case kIcmpV6ParameterProblem:
            return kParameterProblem;
        default:
            return nullptr;
    }
}

DatagramVerdict ClassifyV4(Bytes datagram, const EchoRequest& request) {
    const int headerLength = HeaderLengthCarrying(datagram, kProtocolIcmp);
    if (headerLength == 0) {
        return kNotOurs;
    }
    const Bytes message = datagram.From(headerLength);
    if (message.length < kEchoHeaderLength || InternetChecksum(message.data, message.length) != 0) {
        return kNotOurs;
    }
    if (IsEchoOf(message, kIcmpEchoReply, request)) {
        return {DatagramKind::EchoReply, nullptr};
    }
    const char* reason = ErrorReasonV4(message.data[0], message.data[1]);
    const Bytes quote = message.From(kEchoHeaderLength);
    const int quotedHeaderLength = HeaderLengthCarrying(quote, kProtocolIcmp);
    if (reason == nullptr || quotedHeaderLength == 0 ||
        !IsEchoOf(quote.From(quotedHeaderLength), kIcmpEchoRequest, request)) {
        return kNotOurs;
    }
    return {DatagramKind::Error, reason};
}

DatagramVerdict ClassifyV6(Bytes message, const EchoRequest& request) {
    if (IsEchoOf(message, kIcmpV6EchoReply, request)) {
        return {DatagramKind::EchoReply, nullptr};
    }
    if (message.length < kEchoHeaderLength) {
        return kNotOurs;
    }
    const char* reason = ErrorReasonV6(message.data[0], message.data[1]);
    const Bytes quote = message.From(kEchoHeaderLength);
    if (reason == nullptr || quote.length < kIpv6HeaderLength ||
        quote.data[kIpv6NextHeaderOffset] != kProtocolIcmpV6 ||
        !IsEchoOf(quote.From(kIpv6HeaderLength), kIcmpV6EchoRequest, request)) {
        return kNotOurs;
    }
    return {DatagramKind::Error, reason};
}

}  // namespace

DatagramVerdict ClassifyDatagram(int family, const std::uint8_t* datagram, int length,
                                 const EchoRequest& request) {
    if (datagram == nullptr || length <= 0) {
        return kNotOurs;
    }
    const Bytes received{datagram, length};
    if (family == AF_INET) {
        return ClassifyV4(received, request);
    }
    if (family == AF_INET6) {
        return ClassifyV6(received, request);
    }
    return kNotOurs;
}
