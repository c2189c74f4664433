// The Winsock socket call. Opening a raw socket is the one thing the tool
// needs privileges for, so the process gives them all up as soon as the
// socket is open, before anything is read from it.

#include <unistd.h>

#include <cerrno>

#include "platform/linux/privileges.h"
#include "platform/linux/winsock.h"

// The macro of winsock.h stands for this name; here the system's own is meant.
#undef socket

SOCKET WinsockSocket(int family, int type, int protocol) {
    const SOCKET opened = socket(family, type, protocol);
    if (opened == INVALID_SOCKET) {
        return INVALID_SOCKET;
    }
    // Options that only a privileged process may set (kernel-side filters on
    // what the socket receives, say) belong here, between opening and dropping.
    if (DropPrivileges() != 0) {
        const int error = errno;
        close(opened);
        errno = error;
        return INVALID_SOCKET;
    }
    return opened;
}
