// The routing-interface query: connecting a UDP socket makes the kernel choose
// the route and the source address toward the destination, and getsockname
// reads that address back. A UDP connect sends nothing.

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/linux/winsock.h"

// The probe is an ordinary socket that needs no privilege: the system's own
// socket is meant here, not the Winsock one that gives privileges up.
#undef socket

namespace {

// Any port will do for the routing decision; port 0 is not accepted by every
// kernel for a connect.
constexpr in_port_t kAnyPort = 9;

socklen_t AddressLengthOf(const sockaddr_storage& address) {
    switch (address.ss_family) {
        case AF_INET:
            return sizeof(sockaddr_in);
        case AF_INET6:
            return sizeof(sockaddr_in6);
        default:
            return 0;
    }
}

void SetPort(sockaddr_storage& address, in_port_t port) {
    if (address.ss_family == AF_INET) {
        reinterpret_cast<sockaddr_in&>(address).sin_port = htons(port);
    } else {
        reinterpret_cast<sockaddr_in6&>(address).sin6_port = htons(port);
    }
}

// The local address toward the destination into source; 0 or an errno value.
int QueryRoutingInterface(const sockaddr_storage& destination, sockaddr_storage& source,
                          socklen_t& sourceLength) {
    const int probe = socket(destination.ss_family, SOCK_DGRAM, 0);
    if (probe < 0) {
        return errno;
    }
    sockaddr_storage target = destination;
    SetPort(target, kAnyPort);
    sourceLength = sizeof source;
    int error = 0;
    if (connect(probe, reinterpret_cast<const sockaddr*>(&target), AddressLengthOf(target)) != 0 ||
        getsockname(probe, reinterpret_cast<sockaddr*>(&source), &sourceLength) != 0) {
        error = errno;
    }
    close(probe);
    SetPort(source, 0);
    return error;
}

}  // namespace

int WSAIoctl(SOCKET /*socket*/, DWORD controlCode, void* inBuffer, DWORD inLength, void* outBuffer,
             DWORD outLength, LPDWORD bytesReturned, LPWSAOVERLAPPED overlapped,
             LPWSAOVERLAPPED_COMPLETION_ROUTINE completionRoutine) {
    if (controlCode != SIO_ROUTING_INTERFACE_QUERY || overlapped != nullptr ||
        completionRoutine != nullptr) {
        errno = EINVAL;
        return SOCKET_ERROR;
    }
    if (inBuffer == nullptr || outBuffer == nullptr || bytesReturned == nullptr ||
        inLength < sizeof(sa_family_t) || inLength > sizeof(sockaddr_storage)) {
        errno = EFAULT;
        return SOCKET_ERROR;
    }
    sockaddr_storage destination{};
    std::memcpy(&destination, inBuffer, inLength);
    if (AddressLengthOf(destination) == 0 || inLength < AddressLengthOf(destination)) {
        errno = destination.ss_family == AF_INET || destination.ss_family == AF_INET6
                    ? EFAULT
                    : EAFNOSUPPORT;
        return SOCKET_ERROR;
    }
    sockaddr_storage source{};
    socklen_t sourceLength = 0;
    if (const int error = QueryRoutingInterface(destination, source, sourceLength); error != 0) {
        errno = error;
        return SOCKET_ERROR;
    }
    if (outLength < sourceLength) {
        errno = EFAULT;
        return SOCKET_ERROR;
    }
    std::memcpy(outBuffer, &source, sourceLength);
    *bytesReturned = sourceLength;
    return 0;
}
