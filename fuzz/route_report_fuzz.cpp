// Raw received bytes for the record-route report of an IPv4 run: decoding the
// option and printing the route lines.

#include <cstddef>
#include <cstdint>

#include "cli/settings.h"
#include "fuzz_support.h"
#include "run/route_report.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SilenceStandardOutput();
    settings.family = AF_INET;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int length = static_cast<int>(size);
    const RecordedRoute route = DecodeRoute(data, length);
    Require(route.hops >= 0 && route.hops <= kMaxRecordedHops);
    PrintRoute(data, length);
    return 0;
}
