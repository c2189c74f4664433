// The ICMP / ICMPv6 echo request and the Internet checksum.
#pragma once

#include <cstdint>

// Header of the echo request; dataSize data bytes follow it. Identifier and
// sequence are kept in host byte order, as the peer only echoes them back.
struct EchoRequest {
    std::uint8_t type;
    std::uint8_t code;
    std::uint16_t checksum;
    std::uint16_t identifier;
    std::uint16_t sequence;
};
static_assert(sizeof(EchoRequest) == 8);

constexpr int kEchoHeaderLength = sizeof(EchoRequest);
constexpr std::uint8_t kIcmpEchoRequest = 8;
constexpr std::uint8_t kIcmpV6EchoRequest = 128;

// Build the request in a zero-filled block of kEchoHeaderLength + dataSize bytes.
void BuildEchoV4(EchoRequest* packet, int dataSize);
int BuildEchoV6(EchoRequest* packet, int dataSize);

// Writes the low 16 bits of the tick count into the sequence field.
void StampSequence(EchoRequest* packet);

// RFC 1071 checksum of length bytes, to be stored without byte swap.
std::uint16_t InternetChecksum(const void* data, int length);
