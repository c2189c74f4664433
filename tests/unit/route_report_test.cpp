// The route lines printed from the record-route option of a received reply:
// only what the header holds and what arrived is read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/settings.h"
#include "datagram_builder.h"
#include "run/route_report.h"

namespace {

using namespace datagram;

const Bytes kHopA{198, 51, 100, 1};
const Bytes kHopB{203, 0, 113, 7};
const Bytes kHopC{198, 51, 100, 254};
const Bytes kTimestampOption{kTimestamp, 8, 5, 0, 0, 0, 0, 0};

constexpr const char* kLineA = "    Route: 198.51.100.1\n";
constexpr const char* kRouteABC =
    "    Route: 198.51.100.1 ->\n"
    "           203.0.113.7 ->\n"
    "           198.51.100.254\n";

std::vector<Bytes> NineHops() {
    std::vector<Bytes> hops;
    for (std::uint8_t host = 1; host <= kMaxRecordedHops; ++host) {
        hops.push_back({198, 51, 100, host});
    }
    return hops;
}

std::string NineHopLines() {
    std::string lines;
    for (int host = 1; host <= kMaxRecordedHops; ++host) {
        lines += (host == 1 ? "    Route: " : "           ") + std::string("198.51.100.") +
                 std::to_string(host) + (host < kMaxRecordedHops ? " ->\n" : "\n");
    }
    return lines;
}

// An echo reply whose IPv4 header carries the given options.
Bytes ReplyWithOptions(const Bytes& options) {
    EchoRequest echoed{0, 0, 0, 0x1234, 0xBEEF};
    return Ipv4Icmp(EchoMessage(0, echoed, 32), options);
}

class RouteReport : public testing::Test {
protected:
    void SetUp() override {
        settings.family = AF_INET;
    }
    void TearDown() override {
        settings = EchoSettings{};
    }

    // What PrintRoute shows for the bytes, handed over in a block of exactly
    // their size.
    static std::string Printed(const Bytes& received) {
        const Bytes arrived = Prefix(received, received.size());
        testing::internal::CaptureStdout();
        PrintRoute(arrived.data(), static_cast<int>(arrived.size()));
        return testing::internal::GetCapturedStdout();
    }
};

struct RouteCase {
    const char* name;
    Bytes received;
    std::string printed;
};

TEST_F(RouteReport, PrintsTheRecordedHops) {
    const Bytes threeHops = ReplyWithOptions(RecordRoute(16, {kHopA, kHopB, kHopC}, 9));
    const RouteCase cases[] = {
        {"no options", ReplyWithOptions({}), ""},
        {"pointer 4, nothing recorded", ReplyWithOptions(RecordRoute(4, {}, 9)), ""},
        {"pointer 0", ReplyWithOptions(RecordRoute(0, {}, 9)), ""},
        {"pointer 8", ReplyWithOptions(RecordRoute(8, {kHopA}, 9)), kLineA},
        {"three hops", threeHops, kRouteABC},
        {"full option, pointer 40", ReplyWithOptions(RecordRoute(40, NineHops(), 9)),
         NineHopLines()},
        {"pointer 255 in a full option", ReplyWithOptions(RecordRoute(255, NineHops(), 9)),
         NineHopLines()},
        {"NOP padding first",
         ReplyWithOptions(
             Concat({kNoOperation, kNoOperation}, RecordRoute(16, {kHopA, kHopB, kHopC}, 3))),
         kRouteABC},
        {"timestamp option first",
         ReplyWithOptions(Concat(kTimestampOption, RecordRoute(8, {kHopA}, 3))), kLineA},
        {"end of list first", ReplyWithOptions(Concat({kEndOfOptions}, RecordRoute(8, {kHopA}, 1))),
         ""},
        {"pointer past the option's slots",
         ReplyWithOptions(RecordRoute(40, {kHopA, kHopB, kHopC}, 1)), kLineA},
        {"option length past the header",
         ReplyWithOptions(Concat({kRecordRoute, 39, 8}, Concat(kHopA, kHopB))), ""},
        {"only the header arrived", Prefix(threeHops, 60), kRouteABC},
        {"datagram shorter than its header", Prefix(threeHops, 59), ""},
    };
    for (const RouteCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Printed(c.received), c.printed);
    }
}

TEST_F(RouteReport, IPv6RunPrintsNothing) {
    settings.family = AF_INET6;
    EXPECT_EQ(Printed(ReplyWithOptions(RecordRoute(16, {kHopA, kHopB, kHopC}, 9))), "");
}

}  // namespace
