#include <cerrno>

#include "platform/linux/error_codes.h"
#include "platform/linux/winsock.h"

// The macros of winsock.h stand for these names; here the system's own are meant.
#undef getaddrinfo
#undef getnameinfo

int WinsockGetAddrInfo(const char* name, const char* service, const addrinfo* hints,
                       addrinfo** result) {
    const int status = getaddrinfo(name, service, hints, result);
    return WinsockErrorFromLookup(status, errno);
}

int WinsockGetNameInfo(const sockaddr* address, socklen_t addressLength, char* host,
                       socklen_t hostLength, char* service, socklen_t serviceLength, int flags) {
    const int status =
        getnameinfo(address, addressLength, host, hostLength, service, serviceLength, flags);
    return WinsockErrorFromLookup(status, errno);
}
