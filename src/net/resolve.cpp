#include "net/resolve.h"

#include <cstring>

#include "cli/console.h"

namespace {
constexpr int kHostTextSize = 1025;
constexpr int kServiceTextSize = 32;
}  // namespace

addrinfo* LookupAddress(const char* name, const char* service, int family, int socketType,
                        int protocol) {
    addrinfo hints{};
    hints.ai_flags = name == nullptr ? AI_PASSIVE : 0;
    hints.ai_family = family;
    hints.ai_socktype = socketType;
    hints.ai_protocol = protocol;
    addrinfo* result = nullptr;
    const int status = getaddrinfo(name, service, &hints, &result);
    if (status != 0) {
        PrintTo(stderr, "Invalid address %s, getaddrinfo failed: %d\n", PrintableName(name),
                status);
        return nullptr;
    }
    return result;
}

int ShowAddress(const sockaddr* address, int addressLength) {
    char host[kHostTextSize];
    char service[kServiceTextSize];
    const int status = getnameinfo(address, addressLength, host, kHostTextSize, service,
                                   kServiceTextSize, NI_NUMERICHOST | NI_NUMERICSERV);
    if (status != 0) {
        PrintTo(stderr, "%s: getnameinfo failed: %d\n", __FILE__, status);
        return status;
    }
    if (std::strcmp(service, "0") == 0) {
        PrintOut("%s", host);
    } else if (address->sa_family == AF_INET6) {
        PrintOut("[%s]:%s", host, service);
    } else {
        PrintOut("%s:%s", host, service);
    }
    return 0;
}
