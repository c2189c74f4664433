// Received datagrams built byte by byte for the tests of the run. The layout
// and the checksum are written here from the protocol definitions, not taken
// from the code under test, so that a fault there cannot hide itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "packet/echo_request.h"
#include "reference_checksum.h"

namespace datagram {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kProtocolIcmp = 1;
constexpr std::uint8_t kProtocolIcmpV6 = 58;
constexpr std::uint8_t kEndOfOptions = 0;
constexpr std::uint8_t kNoOperation = 1;
constexpr std::uint8_t kRecordRoute = 7;
constexpr std::uint8_t kTimestamp = 68;
constexpr int kIpv4HeaderLength = 20;

inline Bytes Concat(Bytes front, const Bytes& back) {
    front.insert(front.end(), back.begin(), back.end());
    return front;
}

// A copy holding exactly the first length bytes, in a block of its own size,
// so that a read past the end leaves the allocation.
inline Bytes Prefix(const Bytes& bytes, std::size_t length) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
}

// Stores at the given offset the RFC 1071 checksum of all the bytes.
inline void StoreChecksum(Bytes& bytes, std::size_t at) {
    bytes[at] = 0;
    bytes[at + 1] = 0;
    const ChecksumBytes checksum = ReferenceChecksum(bytes);
    bytes[at] = checksum[0];
    bytes[at + 1] = checksum[1];
}

// An echo message that carries the identifier and sequence bytes of the given
// request as they went out (the peer echoes them unchanged), then dataSize
// data bytes. The checksum is left zero; the IPv4 framing fills it.
inline Bytes EchoMessage(std::uint8_t type, const EchoRequest& echoed, int dataSize,
                         std::uint8_t code = 0) {
    Bytes message(kEchoHeaderLength + static_cast<std::size_t>(dataSize), 'E');
    message[0] = type;
    message[1] = code;
    message[2] = 0;
    message[3] = 0;
    std::memcpy(&message[4], &echoed.identifier, 2);
    std::memcpy(&message[6], &echoed.sequence, 2);
    return message;
}

// An ICMP or ICMPv6 error: type, code, checksum, four unused bytes (the
// MTU for "packet too big"), then the quoted datagram.
inline Bytes ErrorMessage(std::uint8_t type, std::uint8_t code, const Bytes& quote) {
    return Concat({type, code, 0, 0, 0, 0, 0, 0}, quote);
}

// An IPv4 header from 192.0.2.1 to 127.0.0.1 followed by the payload. The
// options are padded with end-of-list bytes to whole 32-bit words.
inline Bytes Ipv4Header(Bytes options, std::size_t payloadLength,
                        std::uint8_t protocol = kProtocolIcmp) {
    while (options.size() % 4 != 0) {
        options.push_back(kEndOfOptions);
    }
    const std::size_t headerLength = kIpv4HeaderLength + options.size();
    const std::size_t totalLength = headerLength + payloadLength;
    Bytes header(kIpv4HeaderLength, 0);
    header[0] = static_cast<std::uint8_t>(0x40 | headerLength / 4);  // version 4
    header[2] = static_cast<std::uint8_t>(totalLength >> 8);
    header[3] = static_cast<std::uint8_t>(totalLength);
    header[8] = 64;  // time to live
    header[9] = protocol;
    const std::uint8_t source[] = {192, 0, 2, 1};
    const std::uint8_t destination[] = {127, 0, 0, 1};
    std::memcpy(&header[12], source, 4);
    std::memcpy(&header[16], destination, 4);
    header = Concat(header, options);
    StoreChecksum(header, 10);
    return header;
}

// An IPv4 datagram carrying the ICMP message, its checksum filled in.
inline Bytes Ipv4Icmp(Bytes message, const Bytes& options = {}) {
    StoreChecksum(message, 2);
    return Concat(Ipv4Header(options, message.size()), message);
}

// The fixed IPv6 header from ::1 to ::1; the next header is ICMPv6.
inline Bytes Ipv6Header(std::size_t payloadLength) {
    Bytes header(40, 0);
    header[0] = 0x60;
    header[4] = static_cast<std::uint8_t>(payloadLength >> 8);
    header[5] = static_cast<std::uint8_t>(payloadLength);
    header[6] = kProtocolIcmpV6;
    header[7] = 64;
    header[23] = 1;
    header[39] = 1;
    return header;
}

// A record-route option with room for the given number of addresses; the
// recorded ones fill the first slots and the rest stay zero.
inline Bytes RecordRoute(std::uint8_t pointer, const std::vector<Bytes>& recorded, int slots) {
    Bytes option{kRecordRoute, static_cast<std::uint8_t>(3 + 4 * slots), pointer};
    for (const Bytes& address : recorded) {
        option = Concat(option, address);
    }
    option.resize(3 + 4 * static_cast<std::size_t>(slots), 0);
    return option;
}

}  // namespace datagram
