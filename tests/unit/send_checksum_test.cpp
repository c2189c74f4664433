#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cli/settings.h"
#include "packet/send_checksum.h"
#include "reference_checksum.h"
#include "test_support.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A destination as the lookup hands it over: one addrinfo node.
struct Destination {
    Destination(int family, const char* text) : storage(SocketAddress(family, text)) {
        node.ai_family = family;
        node.ai_addr = reinterpret_cast<sockaddr*>(&storage);
        node.ai_addrlen = SocketAddressLength(family);
    }
    Destination(const Destination&) = delete;
    Destination& operator=(const Destination&) = delete;

    const in6_addr& V6Address() const {
        return reinterpret_cast<const sockaddr_in6&>(storage).sin6_addr;
    }

    sockaddr_storage storage;
    addrinfo node{};
};

// An echo request of length bytes (8 + dataSize), as the run sends it.
Bytes EchoMessage(int length, bool v6) {
    Bytes message(length, 0);
    auto* request = reinterpret_cast<EchoRequest*>(message.data());
    if (v6) {
        BuildEchoV6(request, length - 8);
    } else {
        BuildEchoV4(request, length - 8);
    }
    request->sequence = 0x9abc;
    return message;
}

// The ICMPv6 checksum over the pseudo-header of RFC 8200 section 8.1 and the
// message, whose checksum field is taken as 0.
ChecksumBytes ReferenceChecksumV6(const in6_addr& source, const in6_addr& destination,
                                  Bytes message) {
    message[2] = message[3] = 0;
    Bytes summed(source.s6_addr, source.s6_addr + 16);
    summed.insert(summed.end(), destination.s6_addr, destination.s6_addr + 16);
    const auto length = static_cast<std::uint32_t>(message.size());
    summed.insert(
        summed.end(),
        {static_cast<std::uint8_t>(length >> 24), static_cast<std::uint8_t>(length >> 16),
         static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length), 0, 0, 0, 58});
    summed.insert(summed.end(), message.begin(), message.end());
    return ReferenceChecksum(summed);
}

ChecksumBytes ChecksumField(const Bytes& message) {
    return {message[2], message[3]};
}

class SendChecksumTest : public testing::Test {
protected:
    void SetUp() override {
        settings = EchoSettings{};
        rawSocket = OpenRawSocket(AF_INET6, IPPROTO_ICMPV6);
        ASSERT_GE(rawSocket, 0) << "raw ICMPv6 socket (run the tests as root)";
    }
    void TearDown() override {
        if (rawSocket >= 0) {
            close(rawSocket);
        }
        settings = EchoSettings{};
    }
    // ChecksumV6 over message, with what it printed.
    std::uint16_t ChecksumV6Of(const Bytes& message, const Destination& destination,
                               PrintedText& printed) {
        std::uint16_t checksum = 0;
        printed = CapturePrinted([&] {
            checksum = ChecksumV6(rawSocket, reinterpret_cast<const EchoRequest*>(message.data()),
                                  static_cast<int>(message.size()), &destination.node);
        });
        return checksum;
    }
    SOCKET rawSocket = -1;
};

struct V6Case {
    int length;
    const char* lengthLine;  // the second printed line
};

TEST_F(SendChecksumTest, ChecksumV6CoversThePseudoHeaderAndPrintsTwoHexLines) {
    // Bytes of 0x80 and more in the length print sign-extended: c8 as ffffffc8.
    const V6Case kCases[] = {
        {8, "0008\n"},
        {40, "00028\n"},
        {41, "00029\n"},
        {200, "000ffffffc8\n"},
        {kMaxChecksumV6Length, "00ffffffffffffffd6\n"},
    };
    const Destination loopback(AF_INET6, "::1");
    for (const V6Case& c : kCases) {
        SCOPED_TRACE(testing::Message() << "length " << c.length);
        const Bytes message = EchoMessage(c.length, true);
        PrintedText printed;
        const std::uint16_t checksum = ChecksumV6Of(message, loopback, printed);
        // Toward ::1 the system sends from ::1, whose first four bytes print as 0000.
        EXPECT_EQ(StoredBytes(checksum),
                  ReferenceChecksumV6(loopback.V6Address(), loopback.V6Address(), message));
        EXPECT_EQ(printed.out, std::string("0000\n") + c.lengthLine);
        EXPECT_EQ(printed.err, "");
    }
}

TEST_F(SendChecksumTest, ChecksumV6RefusesAMessageTooLongForItsScratchArea) {
    const Destination loopback(AF_INET6, "::1");
    const Bytes message = EchoMessage(kMaxChecksumV6Length + 1, true);
    PrintedText printed;
    EXPECT_EQ(ChecksumV6Of(message, loopback, printed), 0xFFFF);
    EXPECT_EQ(printed.out, "");
    EXPECT_NE(printed.err.find("65495"), std::string::npos) << printed.err;
}

TEST_F(SendChecksumTest, ChecksumV6ReportsAFailedSourceQueryAndGivesFfff) {
    // A destination family the routing query does not know.
    Destination unknownFamily(AF_INET6, "::1");
    reinterpret_cast<sockaddr_in6&>(unknownFamily.storage).sin6_family = AF_UNIX;
    const Bytes message = EchoMessage(40, true);
    PrintedText printed;
    EXPECT_EQ(ChecksumV6Of(message, unknownFamily, printed), 0xFFFF);
    EXPECT_EQ(printed.out, "");
    EXPECT_EQ(printed.err, "WSAIoctl failed: 10047\n");
}

TEST_F(SendChecksumTest, ChecksumV6ReportsAnUnreachableDestination) {
    // Only the loopback interface exists here, so there is no route at all.
    ASSERT_EQ(EnterPrivateNetwork(), "");
    const Destination unreachable(AF_INET6, "2001:db8::1");
    const Bytes message = EchoMessage(40, true);
    PrintedText printed;
    EXPECT_EQ(ChecksumV6Of(message, unreachable, printed), 0xFFFF);
    EXPECT_EQ(printed.out, "");
    EXPECT_EQ(printed.err, "WSAIoctl failed: 10051\n");
}

TEST_F(SendChecksumTest, ChecksumEchoFillsTheFieldForTheRunsFamily) {
    const Destination v4(AF_INET, "127.0.0.1");
    const Destination v6(AF_INET6, "::1");
    for (const V6Case& c : {V6Case{40, "00028\n"}, V6Case{41, "00029\n"}}) {
        const int length = c.length;
        SCOPED_TRACE(testing::Message() << "length " << length);
        // Whatever the field held before, it is summed as 0.
        Bytes request = EchoMessage(length, false);
        request[2] = 0x12;
        request[3] = 0x34;
        Bytes expected = request;
        expected[2] = expected[3] = 0;
        settings.family = AF_INET;
        ChecksumEcho(rawSocket, reinterpret_cast<EchoRequest*>(request.data()), length, &v4.node);
        EXPECT_EQ(ChecksumField(request), ReferenceChecksum(expected));

        request = EchoMessage(length, true);
        request[2] = 0x12;
        request[3] = 0x34;
        settings.family = AF_INET6;
        const PrintedText printed = CapturePrinted([&] {
            ChecksumEcho(rawSocket, reinterpret_cast<EchoRequest*>(request.data()), length,
                         &v6.node);
        });
        EXPECT_EQ(ChecksumField(request),
                  ReferenceChecksumV6(v6.V6Address(), v6.V6Address(), request));
        EXPECT_EQ(printed.out, std::string("0000\n") + c.lengthLine);
    }
}

TEST_F(SendChecksumTest, ChecksumEchoStoresFfffWhenTheSourceQueryFails) {
    Destination unknownFamily(AF_INET6, "::1");
    reinterpret_cast<sockaddr_in6&>(unknownFamily.storage).sin6_family = AF_UNIX;
    Bytes request = EchoMessage(40, true);
    settings.family = AF_INET6;
    const PrintedText printed = CapturePrinted([&] {
        ChecksumEcho(rawSocket, reinterpret_cast<EchoRequest*>(request.data()), 40,
                     &unknownFamily.node);
    });
    EXPECT_EQ(ChecksumField(request), (ChecksumBytes{0xff, 0xff}));
    EXPECT_EQ(printed.err, "WSAIoctl failed: 10047\n");
}

TEST_F(SendChecksumTest, ChecksumEchoLeavesTheMessageAloneForAnyOtherFamily) {
    const Destination v4(AF_INET, "127.0.0.1");
    Bytes request = EchoMessage(40, false);
    request[2] = 0x12;
    const Bytes before = request;
    settings.family = AF_UNSPEC;
    const PrintedText printed = CapturePrinted([&] {
        ChecksumEcho(rawSocket, reinterpret_cast<EchoRequest*>(request.data()), 40, &v4.node);
    });
    EXPECT_EQ(request, before);
    EXPECT_EQ(printed.out, "");
    EXPECT_EQ(printed.err, "");
}

}  // namespace
