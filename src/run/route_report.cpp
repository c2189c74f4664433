#include "run/route_report.h"

#include <algorithm>
#include <cstring>

#include "cli/console.h"
#include "cli/settings.h"
#include "net/resolve.h"
#include "run/ipv4_header.h"

namespace {

constexpr std::uint8_t kEndOfOptions = 0;
constexpr std::uint8_t kNoOperation = 1;
constexpr std::uint8_t kRecordRoute = 7;
constexpr int kPointerOffset = 2;    // within the option
constexpr int kFirstSlotOffset = 3;  // within the option
constexpr int kFirstFreePointer = 4;

// Hops recorded in one record-route option of the given (checked) length.
RecordedRoute ReadRecordRoute(const std::uint8_t* option, int optionLength) {
    RecordedRoute route;
    if (optionLength <= kPointerOffset) {
        return route;
    }
    // The pointer names the first free slot; slots end with the option.
    const int recorded = (option[kPointerOffset] - kFirstFreePointer) / 4;
    const int slots = (optionLength - kFirstSlotOffset) / 4;
    route.hops = std::clamp(std::min(recorded, slots), 0, kMaxRecordedHops);
    for (int hop = 0; hop < route.hops; ++hop) {
        std::memcpy(route.address[hop], option + kFirstSlotOffset + 4 * hop, 4);
    }
    return route;
}

}  // namespace

RecordedRoute DecodeRoute(const std::uint8_t* datagram, int length) {
    const int headerLength = Ipv4HeaderLength(datagram, length);
    int offset = kMinIpv4HeaderLength;
    while (offset < headerLength && datagram[offset] != kEndOfOptions) {
        if (datagram[offset] == kNoOperation) {
            offset += 1;
            continue;
        }
        if (offset + 1 >= headerLength) {
            return {};
        }
        const int optionLength = datagram[offset + 1];
        if (optionLength < 2 || offset + optionLength > headerLength) {
            return {};
        }
        if (datagram[offset] == kRecordRoute) {
            return ReadRecordRoute(datagram + offset, optionLength);
        }
        offset += optionLength;
    }
    return {};
}

void PrintRoute(const std::uint8_t* reply, int length) {
    if (settings.family != AF_INET) {
        return;
    }
    const RecordedRoute route = DecodeRoute(reply, length);
    for (int hop = 0; hop < route.hops; ++hop) {
        PrintOut(hop == 0 ? "    Route: " : "           ");
        sockaddr_in address{};
        address.sin_family = AF_INET;
        std::memcpy(&address.sin_addr, route.address[hop], 4);
        ShowAddress(reinterpret_cast<const sockaddr*>(&address), sizeof address);
        PrintOut(hop + 1 < route.hops ? " ->\n" : "\n");
    }
}
