// The Winsock socket call. Opening a raw socket is the one thing the tool
// needs privileges for, so the process gives them all up as soon as the
// socket is open, before anything is read from it. A raw ICMP or ICMPv6
// socket first gets the kernel-side reply filter, so that the run is not
// woken for other programs' ICMP traffic.

#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/linux/privileges.h"
#include "platform/linux/reply_filter.h"
#include "platform/linux/winsock.h"

// The macro of winsock.h stands for this name; here the system's own is meant.
#undef socket

namespace {

bool IsRawIcmp(int family, int type, int protocol) {
    return type == SOCK_RAW && ((family == AF_INET && protocol == IPPROTO_ICMP) ||
                                (family == AF_INET6 && protocol == IPPROTO_ICMPV6));
}

}  // namespace

SOCKET WinsockSocket(int family, int type, int protocol) {
    const SOCKET opened = socket(family, type, protocol);
    if (opened == INVALID_SOCKET) {
        return INVALID_SOCKET;
    }
    // The filter only saves work (the run checks every datagram itself), so
    // a socket without it is still used, after a note.
    if (IsRawIcmp(family, type, protocol) && InstallReplyFilter(opened, family) != 0) {
        std::fprintf(stderr, "InstallReplyFilter failed: %d\n", WSAGetLastError());
    }
    // Options that only a privileged process may set belong here, between
    // opening and dropping.
    if (DropPrivileges() != 0) {
        const int error = errno;
        close(opened);
        errno = error;
        return INVALID_SOCKET;
    }
    return opened;
}
