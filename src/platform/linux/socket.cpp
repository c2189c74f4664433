// Socket creation: a raw ICMP or ICMPv6 socket comes with the kernel-side
// reply filter, so that the run is not woken for other programs' ICMP
// traffic. The filter only saves work (the run checks every datagram
// itself), so a socket whose filter cannot be installed is still returned,
// after a note on standard error.

#include <cerrno>
#include <cstdio>

#include "platform/linux/reply_filter.h"
#include "platform/linux/winsock.h"

namespace {

bool IsRawIcmp(int family, int type, int protocol) {
    return type == SOCK_RAW && ((family == AF_INET && protocol == IPPROTO_ICMP) ||
                                (family == AF_INET6 && protocol == IPPROTO_ICMPV6));
}

}  // namespace

SOCKET WinsockSocket(int family, int type, int protocol) {
    const SOCKET opened = (socket)(family, type, protocol);
    if (opened != INVALID_SOCKET && IsRawIcmp(family, type, protocol) &&
        InstallReplyFilter(opened, family) != 0) {
        std::fprintf(stderr, "InstallReplyFilter failed: %d\n", WSAGetLastError());
    }
    return opened;
}
