#include "packet/send_checksum.h"

#include <cstring>

#include "cli/console.h"
#include "cli/settings.h"

namespace {

constexpr int kScratchSize = 65535;
constexpr int kPseudoHeaderLength = 40;
constexpr int kSourceOffset = 0;
constexpr int kDestinationOffset = 16;
constexpr int kLengthOffset = 32;
constexpr int kNextHeaderOffset = 39;
constexpr std::uint8_t kNextHeaderIcmpV6 = 58;
constexpr int kQueryBufferSize = 128;
constexpr std::uint16_t kChecksumUnknown = 0xFFFF;

const std::uint8_t* AddressBytes(const void* socketAddress) {
    return reinterpret_cast<const std::uint8_t*>(
        &static_cast<const sockaddr_in6*>(socketAddress)->sin6_addr);
}

}  // namespace

void ChecksumEcho(SOCKET socket, EchoRequest* packet, int length, const addrinfo* destination) {
    if (settings.family == AF_INET) {
        packet->checksum = 0;
        packet->checksum = InternetChecksum(packet, length);
    } else if (settings.family == AF_INET6) {
        packet->checksum = 0;
        packet->checksum = ChecksumV6(socket, packet, length, destination);
    }
}

std::uint16_t ChecksumV6(SOCKET socket, const EchoRequest* packet, int length,
                         const addrinfo* destination) {
    if (length < 0 || length > kMaxChecksumV6Length) {
        PrintTo(stderr, "ChecksumV6: message of %d bytes is too long\n", length);
        return kChecksumUnknown;
    }
    std::uint8_t scratch[kScratchSize];
    std::memset(scratch, 0, sizeof scratch);

    alignas(sockaddr_in6) char source[kQueryBufferSize];
    DWORD bytesReturned = 0;
    if (WSAIoctl(socket, SIO_ROUTING_INTERFACE_QUERY, destination->ai_addr,
                 static_cast<DWORD>(destination->ai_addrlen), source, sizeof source, &bytesReturned,
                 nullptr, nullptr) == SOCKET_ERROR) {
        PrintTo(stderr, "WSAIoctl failed: %d\n", WSAGetLastError());
        return kChecksumUnknown;
    }
    std::memcpy(scratch + kSourceOffset, AddressBytes(source), 16);
    PrintOut("%x%x%x%x\n", scratch[0], scratch[1], scratch[2], scratch[3]);

    std::memcpy(scratch + kDestinationOffset, AddressBytes(destination->ai_addr), 16);
    const std::uint32_t upperLayerLength = htonl(static_cast<std::uint32_t>(length));
    std::memcpy(scratch + kLengthOffset, &upperLayerLength, sizeof upperLayerLength);
    // The length bytes are shown as signed bytes widened to int, so that a
    // byte of 0x80 or more reads as ffffff.. (the established output).
    const auto* lengthBytes = reinterpret_cast<const std::int8_t*>(scratch + kLengthOffset);
    PrintOut("%x%x%x%x\n", static_cast<unsigned>(lengthBytes[0]),
             static_cast<unsigned>(lengthBytes[1]), static_cast<unsigned>(lengthBytes[2]),
             static_cast<unsigned>(lengthBytes[3]));

    scratch[kNextHeaderOffset] = kNextHeaderIcmpV6;
    std::memcpy(scratch + kPseudoHeaderLength, packet, static_cast<std::size_t>(length));
    // An odd message is summed with the zero pad byte that follows it.
    const int summedLength = kPseudoHeaderLength + length + (length % 2);
    return InternetChecksum(scratch, summedLength);
}
