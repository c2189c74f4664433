// The IPv4 header at the start of a datagram as the raw socket delivers it.
#pragma once

#include <cstdint>

constexpr int kMinIpv4HeaderLength = 20;

// The header's length in bytes when the bytes start with a sound IPv4 header
// (version 4, a length of at least 20 that all arrived), else 0.
inline int Ipv4HeaderLength(const std::uint8_t* datagram, int length) {
    if (datagram == nullptr || length < kMinIpv4HeaderLength || (datagram[0] >> 4) != 4) {
        return 0;
    }
    const int headerLength = (datagram[0] & 0x0F) * 4;
    return headerLength >= kMinIpv4HeaderLength && headerLength <= length ? headerLength : 0;
}
