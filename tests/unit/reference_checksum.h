// The Internet checksum worked out the way RFC 1071 describes it, independent
// of the code under test: the data as big-endian 16-bit words (a lone last
// byte is the high byte of a word), carries folded back until none remain.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

using ChecksumBytes = std::array<std::uint8_t, 2>;

// The checksum as the two bytes that must stand in the message.
inline ChecksumBytes ReferenceChecksum(const std::vector<std::uint8_t>& data) {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < data.size(); i += 2) {
        const std::uint8_t low = i + 1 < data.size() ? data[i + 1] : 0;
        sum += static_cast<std::uint64_t>(data[i]) << 8 | low;
    }
    while (sum >> 16 != 0) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    const auto checksum = static_cast<std::uint16_t>(~sum);
    return {static_cast<std::uint8_t>(checksum >> 8), static_cast<std::uint8_t>(checksum & 0xFF)};
}

// The bytes a 16-bit value stored without byte swap occupies in memory.
inline ChecksumBytes StoredBytes(std::uint16_t value) {
    ChecksumBytes bytes;
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}
