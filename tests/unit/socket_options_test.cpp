#include <gtest/gtest.h>

#include <netinet/in.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cli/settings.h"
#include "net/socket_options.h"
#include "test_support.h"

namespace {

struct FamilyCase {
    int family;
    int protocol;
    int level;   // where the hop limit lives
    int option;  // IP_TTL or IPV6_UNICAST_HOPS
};

const FamilyCase kFamilies[] = {
    {AF_INET, IPPROTO_ICMP, IPPROTO_IP, IP_TTL},
    {AF_INET6, IPPROTO_ICMPV6, IPPROTO_IPV6, IPV6_UNICAST_HOPS},
};

// A raw socket of the run's kind for each case, closed after the test.
class SocketOptionsTest : public testing::Test {
protected:
    void TearDown() override {
        for (const int s : sockets) {
            close(s);
        }
        settings = EchoSettings{};
    }
    SOCKET OpenRaw(int family, int protocol) {
        const SOCKET s = OpenRawSocket(family, protocol);
        EXPECT_GE(s, 0) << "raw socket (run the tests as root)";
        if (s >= 0) {
            sockets.push_back(s);
        }
        return s;
    }
    static int HopLimit(SOCKET s, const FamilyCase& c) {
        int value = -1;
        socklen_t length = sizeof value;
        EXPECT_EQ(getsockopt(s, c.level, c.option, &value, &length), 0);
        return value;
    }
    std::vector<SOCKET> sockets;
};

TEST_F(SocketOptionsTest, SetTtlSetsTheHopLimitOfTheRunsFamily) {
    for (const FamilyCase& c : kFamilies) {
        for (const int ttl : {1, 64, 255}) {
            SCOPED_TRACE(testing::Message() << "family " << c.family << " ttl " << ttl);
            settings.family = c.family;
            const SOCKET s = OpenRaw(c.family, c.protocol);
            ASSERT_GE(s, 0);
            int result = -1;
            const PrintedText printed = CapturePrinted([&] { result = SetTtl(s, ttl); });
            EXPECT_EQ(result, 0);
            EXPECT_EQ(HopLimit(s, c), ttl);
            EXPECT_EQ(printed.out + printed.err, "");
        }
    }
}

TEST_F(SocketOptionsTest, SetTtlReportsAValueTheSystemRefuses) {
    for (const FamilyCase& c : kFamilies) {
        for (const int ttl : {300, -2}) {
            SCOPED_TRACE(testing::Message() << "family " << c.family << " ttl " << ttl);
            settings.family = c.family;
            const SOCKET s = OpenRaw(c.family, c.protocol);
            ASSERT_GE(s, 0);
            const int before = HopLimit(s, c);
            int result = 0;
            const PrintedText printed = CapturePrinted([&] { result = SetTtl(s, ttl); });
            EXPECT_EQ(result, -1);
            EXPECT_EQ(printed.err, "SetTtl: setsockopt failed: 10022\n");
            EXPECT_EQ(printed.out, "");
            EXPECT_EQ(HopLimit(s, c), before);
        }
    }
}

TEST_F(SocketOptionsTest, SetTtlReportsAFamilyThatIsNeither) {
    const FamilyCase& v4 = kFamilies[0];
    const SOCKET s = OpenRaw(v4.family, v4.protocol);
    ASSERT_GE(s, 0);
    const int before = HopLimit(s, v4);
    settings.family = AF_UNSPEC;
    int result = 0;
    const PrintedText printed = CapturePrinted([&] { result = SetTtl(s, 200); });
    EXPECT_EQ(result, -1);
    // The code is whatever the last socket call left behind.
    EXPECT_TRUE(printed.err.starts_with("SetTtl: setsockopt failed: ")) << printed.err;
    EXPECT_TRUE(printed.err.ends_with("\n")) << printed.err;
    EXPECT_EQ(HopLimit(s, v4), before) << "no option may be set";
}

TEST_F(SocketOptionsTest, RequestRecordRouteSetsTheNineSlotOption) {
    const SOCKET s = OpenRaw(AF_INET, IPPROTO_ICMP);
    ASSERT_GE(s, 0);
    ASSERT_EQ(RequestRecordRoute(s), 0);

    std::uint8_t options[40] = {};
    socklen_t length = sizeof options;
    ASSERT_EQ(getsockopt(s, IPPROTO_IP, IP_OPTIONS, options, &length), 0);
    // Type 7, length 39, pointer 4, then nine empty address slots; the system
    // may pad the options to a multiple of four with end-of-options bytes.
    std::vector<std::uint8_t> expected(39, 0);
    expected[0] = 7;
    expected[1] = 39;
    expected[2] = 4;
    ASSERT_GE(length, 39u);
    EXPECT_EQ(std::vector<std::uint8_t>(options, options + 39), expected);
    for (socklen_t i = 39; i < length; ++i) {
        EXPECT_EQ(options[i], 0) << "byte " << i;
    }
}

}  // namespace
