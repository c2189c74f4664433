// Raw received bytes for the reply decision, on either family. The first input
// byte picks the family (bit 0 clear: IPv4, set: IPv6) and whether an IPv4
// datagram gets a valid ICMP checksum (bit 1), the next four are the
// identifier and sequence of the request being answered, and the rest is the
// datagram as the raw socket delivered it.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "platform/platform.h"
#include "run/reply_match.h"

namespace {

constexpr std::size_t kFamilyAndRequestBytes = 5;
constexpr std::size_t kChecksumOffset = 2;  // within the ICMP message

// Nearly every mutation breaks the checksum, and an IPv4 datagram is looked
// at past it only when it holds: fixing it lets the fuzzer reach the rest.
void FixIcmpChecksum(std::vector<std::uint8_t>& datagram) {
    if (datagram.empty()) {
        return;
    }
    const std::size_t headerLength = (datagram[0] & 0x0F) * 4u;
    if (headerLength + kEchoHeaderLength > datagram.size()) {
        return;
    }
    std::uint8_t* message = datagram.data() + headerLength;
    std::memset(message + kChecksumOffset, 0, 2);
    const std::uint16_t checksum =
        InternetChecksum(message, static_cast<int>(datagram.size() - headerLength));
    std::memcpy(message + kChecksumOffset, &checksum, 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kFamilyAndRequestBytes) {
        return 0;
    }
    const int family = (data[0] & 1) == 0 ? AF_INET : AF_INET6;
    EchoRequest request{};
    request.type = family == AF_INET ? kIcmpEchoRequest : kIcmpV6EchoRequest;
    std::memcpy(&request.identifier, data + 1, sizeof request.identifier);
    std::memcpy(&request.sequence, data + 3, sizeof request.sequence);

    // A block of exactly the datagram's size, so that reading past the
    // received bytes is caught.
    std::vector<std::uint8_t> datagram(data + kFamilyAndRequestBytes, data + size);
    if (family == AF_INET && (data[0] & 2) != 0) {
        FixIcmpChecksum(datagram);
    }
    const DatagramVerdict verdict =
        ClassifyDatagram(family, datagram.data(), static_cast<int>(datagram.size()), request);

    // The run prints the reason of an error with "%s".
    Require((verdict.kind == DatagramKind::Error) == (verdict.reason != nullptr));
    return 0;
}
