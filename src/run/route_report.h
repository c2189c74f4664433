// The route an IPv4 reply recorded in its record-route option.
#pragma once

#include <cstdint>

constexpr int kMaxRecordedHops = 9;

struct RecordedRoute {
    int hops = 0;
    std::uint8_t address[kMaxRecordedHops][4] = {};  // network byte order
};

// Reads the record-route option of an IPv4 datagram as received; no hops
// when the header carries none or is not sound. Reads nothing outside the
// header and the bytes received.
RecordedRoute DecodeRoute(const std::uint8_t* datagram, int length);

// Prints the recorded hops of the reply as route lines, on IPv4 runs only.
void PrintRoute(const std::uint8_t* reply, int length);
