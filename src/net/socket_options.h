// Options of the run's raw socket: time to live or hop limit, record route.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// The IPv4 record-route option with room for nine addresses.
constexpr int kRecordRouteLength = 39;
extern const std::uint8_t RecordRouteOption[kRecordRouteLength];

// Sets the IPv4 TTL or IPv6 unicast hop limit for the run's family; 0, or -1
// after reporting the failure.
int SetTtl(SOCKET socket, int ttl);

// Asks for the record-route option on every IPv4 datagram sent; the
// setsockopt result (SOCKET_ERROR on failure, reported by the caller).
int RequestRecordRoute(SOCKET socket);
