// Two kernel filters on the raw socket. The ICMP type filter is checked
// before the kernel copies a datagram for the socket, so it is the cheap one;
// the classic BPF program then checks the echo identifier, which the type
// filter cannot see.

#include "platform/linux/reply_filter.h"

#include <linux/filter.h>
#include <linux/icmp.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdint>
#include <iterator>

#include "platform/linux/kernel.h"

namespace {

constexpr std::uint8_t kIcmpEchoReply = 0;
constexpr std::uint8_t kIcmpErrorTypes[] = {3, 11, 12};  // unreachable, time exceeded, parameter
constexpr std::uint8_t kIcmpV6EchoReply = 129;
constexpr std::uint8_t kIcmpV6ErrorTypes[] = {1, 2, 3, 4};  // also packet too big

// Offsets within an ICMP message: the identifier of an echo message, and the
// datagram an error quotes, which follows the error's 8-byte header.
constexpr std::uint32_t kIdentifierOffset = 4;
constexpr std::uint32_t kQuoteOffset = 8;
constexpr std::uint32_t kIpv6HeaderLength = 40;

// What a program returns: how many bytes of the datagram to keep.
constexpr std::uint32_t kKeepWhole = 0xFFFFFFFF;
constexpr std::uint32_t kDrop = 0;

// The identifier as a BPF halfword load reads it: loads take the bytes in
// network order, while the request stores the identifier in host order.
std::uint32_t IdentifierAsLoaded() {
    return ntohs(static_cast<std::uint16_t>(GetCurrentProcessId()));
}

sock_filter Statement(std::uint16_t code, std::uint32_t value) {
    return sock_filter{code, 0, 0, value};
}

// A jump at index `at` to index ifEqual when the accumulator equals value,
// else to index ifNot; both must lie ahead.
sock_filter JumpIfEqual(int at, std::uint32_t value, int ifEqual, int ifNot) {
    return sock_filter{BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint8_t>(ifEqual - at - 1),
                       static_cast<std::uint8_t>(ifNot - at - 1), value};
}

sock_filter JumpAlways(int at, int to) {
    return Statement(BPF_JMP | BPF_JA, static_cast<std::uint32_t>(to - at - 1));
}

int Attach(int socket, sock_filter* program, std::size_t length) {
    const sock_fprog description{static_cast<unsigned short>(length), program};
    return setsockopt(socket, SOL_SOCKET, SO_ATTACH_FILTER, &description, sizeof description);
}

// An IPv4 raw socket gets the datagram from its IPv4 header on, so the
// program finds the ICMP message behind a header of variable length (X), and
// an error's quoted echo request behind a second one.
int AttachIdentifierFilterV4(int socket) {
    // Indexes of the instructions that jumps lead to.
    enum { kReplyAt = 6, kErrorAt = 8, kCheckAt = 14, kKeepAt = 15, kDropAt = 16 };
    sock_filter program[] = {
        /* 0 */ Statement(BPF_LDX | BPF_B | BPF_MSH, 0),  // X = IPv4 header length
        /* 1 */ Statement(BPF_LD | BPF_B | BPF_IND, 0),   // A = ICMP type
        /* 2 */ JumpIfEqual(2, kIcmpEchoReply, kReplyAt, 3),
        /* 3 */ JumpIfEqual(3, kIcmpErrorTypes[0], kErrorAt, 4),
        /* 4 */ JumpIfEqual(4, kIcmpErrorTypes[1], kErrorAt, 5),
        /* 5 */ JumpIfEqual(5, kIcmpErrorTypes[2], kErrorAt, kDropAt),
        /* 6 */ Statement(BPF_LD | BPF_H | BPF_IND, kIdentifierOffset),
        /* 7 */ JumpAlways(7, kCheckAt),
        // X += length of the quoted IPv4 header, from its first byte.
        /* 8 */ Statement(BPF_LD | BPF_B | BPF_IND, kQuoteOffset),
        /* 9 */ Statement(BPF_ALU | BPF_AND | BPF_K, 0x0F),
        /* 10 */ Statement(BPF_ALU | BPF_LSH | BPF_K, 2),
        /* 11 */ Statement(BPF_ALU | BPF_ADD | BPF_X, 0),
        /* 12 */ Statement(BPF_MISC | BPF_TAX, 0),
        /* 13 */ Statement(BPF_LD | BPF_H | BPF_IND, kQuoteOffset + kIdentifierOffset),
        /* 14 */ JumpIfEqual(kCheckAt, IdentifierAsLoaded(), kKeepAt, kDropAt),
        /* 15 */ Statement(BPF_RET | BPF_K, kKeepWhole),
        /* 16 */ Statement(BPF_RET | BPF_K, kDrop),
    };
    static_assert(std::size(program) == kDropAt + 1);
    return Attach(socket, program, std::size(program));
}

// An IPv6 raw socket gets the bare ICMPv6 message; an error quotes the
// request behind its fixed 40-byte IPv6 header.
int AttachIdentifierFilterV6(int socket) {
    enum { kReplyAt = 6, kErrorAt = 8, kCheckAt = 9, kKeepAt = 10, kDropAt = 11 };
    sock_filter program[] = {
        /* 0 */ Statement(BPF_LD | BPF_B | BPF_ABS, 0),  // A = ICMPv6 type
        /* 1 */ JumpIfEqual(1, kIcmpV6EchoReply, kReplyAt, 2),
        /* 2 */ JumpIfEqual(2, kIcmpV6ErrorTypes[0], kErrorAt, 3),
        /* 3 */ JumpIfEqual(3, kIcmpV6ErrorTypes[1], kErrorAt, 4),
        /* 4 */ JumpIfEqual(4, kIcmpV6ErrorTypes[2], kErrorAt, 5),
        /* 5 */ JumpIfEqual(5, kIcmpV6ErrorTypes[3], kErrorAt, kDropAt),
        /* 6 */ Statement(BPF_LD | BPF_H | BPF_ABS, kIdentifierOffset),
        /* 7 */ JumpAlways(7, kCheckAt),
        /* 8 */
        Statement(BPF_LD | BPF_H | BPF_ABS, kQuoteOffset + kIpv6HeaderLength + kIdentifierOffset),
        /* 9 */ JumpIfEqual(kCheckAt, IdentifierAsLoaded(), kKeepAt, kDropAt),
        /* 10 */ Statement(BPF_RET | BPF_K, kKeepWhole),
        /* 11 */ Statement(BPF_RET | BPF_K, kDrop),
    };
    static_assert(std::size(program) == kDropAt + 1);
    return Attach(socket, program, std::size(program));
}

int FilterTypesV4(int socket) {
    std::uint32_t passed = 1u << kIcmpEchoReply;
    for (const std::uint8_t type : kIcmpErrorTypes) {
        passed |= 1u << type;
    }
    const icmp_filter blocked{~passed};  // a set bit blocks its type
    return setsockopt(socket, SOL_RAW, ICMP_FILTER, &blocked, sizeof blocked);
}

int FilterTypesV6(int socket) {
    icmp6_filter filter;
    ICMP6_FILTER_SETBLOCKALL(&filter);
    ICMP6_FILTER_SETPASS(kIcmpV6EchoReply, &filter);
    for (const std::uint8_t type : kIcmpV6ErrorTypes) {
        ICMP6_FILTER_SETPASS(type, &filter);
    }
    return setsockopt(socket, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter);
}

}  // namespace

int InstallReplyFilter(int socket, int family) {
    if (family == AF_INET) {
        return FilterTypesV4(socket) == 0 ? AttachIdentifierFilterV4(socket) : -1;
    }
    if (family == AF_INET6) {
        return FilterTypesV6(socket) == 0 ? AttachIdentifierFilterV6(socket) : -1;
    }
    errno = EAFNOSUPPORT;
    return -1;
}
