#include "packet/echo_request.h"

#include <cstring>

#include "cli/settings.h"

namespace {

constexpr std::uint8_t kIcmpV4Fill = 0x45;  // 'E'
constexpr std::uint8_t kIcmpV6Fill = 0x23;  // '#'

void BuildEcho(EchoRequest* packet, std::uint8_t type, std::uint8_t fill, int dataSize) {
    packet->type = type;
    packet->code = 0;
    packet->checksum = 0;
    packet->identifier = static_cast<std::uint16_t>(GetCurrentProcessId());
    packet->sequence = 0;
    std::memset(packet + 1, fill, static_cast<std::size_t>(dataSize));
}

}  // namespace

void BuildEchoV4(EchoRequest* packet, int dataSize) {
    BuildEcho(packet, kIcmpEchoRequest, kIcmpV4Fill, dataSize);
}

int BuildEchoV6(EchoRequest* packet, int dataSize) {
    BuildEcho(packet, kIcmpV6EchoRequest, kIcmpV6Fill, dataSize);
    return kEchoHeaderLength;
}

void StampSequence(EchoRequest* packet) {
    const DWORD tick = GetTickCount();
    if (settings.family == AF_INET || settings.family == AF_INET6) {
        packet->sequence = static_cast<std::uint16_t>(tick);
    }
}

std::uint16_t InternetChecksum(const void* data, int length) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::uint32_t sum = 0;
    int offset = 0;
    for (; offset + 1 < length; offset += 2) {
        std::uint16_t word;
        std::memcpy(&word, bytes + offset, sizeof word);
        sum += word;
    }
    if (offset < length) {
        // The odd byte is the first of a word whose other byte is zero.
        std::uint16_t word = 0;
        std::memcpy(&word, bytes + offset, 1);
        sum += word;
    }
    sum = (sum >> 16) + (sum & 0xFFFF);
    sum += sum >> 16;
    return static_cast<std::uint16_t>(~sum);
}
