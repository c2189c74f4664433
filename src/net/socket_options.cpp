#include "net/socket_options.h"

#include "cli/console.h"
#include "cli/settings.h"

namespace {
constexpr std::uint8_t kRecordRouteType = 7;
constexpr std::uint8_t kFirstFreeSlot = 4;
}  // namespace

const std::uint8_t RecordRouteOption[kRecordRouteLength] = {kRecordRouteType, kRecordRouteLength,
                                                            kFirstFreeSlot};

int SetTtl(SOCKET socket, int ttl) {
    int status = SOCKET_ERROR;
    if (settings.family == AF_INET) {
        status =
            setsockopt(socket, IPPROTO_IP, IP_TTL, reinterpret_cast<const char*>(&ttl), sizeof ttl);
    } else if (settings.family == AF_INET6) {
        status = setsockopt(socket, IPPROTO_IPV6, IPV6_UNICAST_HOPS,
                            reinterpret_cast<const char*>(&ttl), sizeof ttl);
    }
    if (status == SOCKET_ERROR) {
        PrintTo(stderr, "SetTtl: setsockopt failed: %d\n", WSAGetLastError());
        return -1;
    }
    return status;
}

int RequestRecordRoute(SOCKET socket) {
    return setsockopt(socket, IPPROTO_IP, IP_OPTIONS,
                      reinterpret_cast<const char*>(RecordRouteOption), kRecordRouteLength);
}
