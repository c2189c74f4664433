#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "test_support.h"

namespace {

// The query as the IPv6 checksum makes it, into a 128-byte buffer unless a
// smaller one is given; returns the WSAIoctl result.
struct RoutingQuery {
    int Run(int family, const char* destinationText,
            DWORD controlCode = SIO_ROUTING_INTERFACE_QUERY, DWORD outLength = sizeof source) {
        const SOCKET s =
            OpenRawSocket(family, family == AF_INET6 ? int{IPPROTO_ICMPV6} : int{IPPROTO_ICMP});
        EXPECT_GE(s, 0) << "raw socket (run the tests as root)";
        sockaddr_storage destination = SocketAddress(family, destinationText);
        const int result = WSAIoctl(s, controlCode, &destination, SocketAddressLength(family),
                                    &source, outLength, &bytesReturned, nullptr, nullptr);
        error = result == 0 ? 0 : WSAGetLastError();
        close(s);
        return result;
    }
    std::string SourceText() const {
        char text[INET6_ADDRSTRLEN] = {};
        if (source.ss_family == AF_INET6) {
            inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(source).sin6_addr, text,
                      sizeof text);
        } else if (source.ss_family == AF_INET) {
            inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(source).sin_addr, text,
                      sizeof text);
        }
        return text;
    }
    sockaddr_storage source{};
    DWORD bytesReturned = 0;
    int error = 0;
};

TEST(RoutingInterfaceQuery, GivesTheLocalAddressTowardTheDestination) {
    struct {
        int family;
        const char* destination;
        const char* source;
    } const kCases[] = {
        {AF_INET, "127.0.0.1", "127.0.0.1"},
        {AF_INET6, "::1", "::1"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.destination);
        RoutingQuery query;
        ASSERT_EQ(query.Run(c.family, c.destination), 0) << "error " << query.error;
        EXPECT_EQ(query.source.ss_family, c.family);
        EXPECT_EQ(query.SourceText(), c.source);
        EXPECT_EQ(query.bytesReturned, SocketAddressLength(c.family));
    }
}

TEST(RoutingInterfaceQuery, RefusesAnotherControlCodeOrATooSmallBuffer) {
    struct {
        int family;
        const char* destination;
        DWORD controlCode;
        DWORD outLength;
        int error;
    } const kCases[] = {
        {AF_INET, "127.0.0.1", 0x48000016, 128, 10022},
        {AF_INET6, "::1", SIO_ROUTING_INTERFACE_QUERY + 1, 128, 10022},
        {AF_INET, "127.0.0.1", SIO_ROUTING_INTERFACE_QUERY, sizeof(sockaddr_in) - 1, 10014},
        {AF_INET6, "::1", SIO_ROUTING_INTERFACE_QUERY, sizeof(sockaddr_in), 10014},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.destination << " code " << std::hex << c.controlCode
                                        << std::dec << " buffer " << c.outLength);
        RoutingQuery query;
        EXPECT_EQ(query.Run(c.family, c.destination, c.controlCode, c.outLength), SOCKET_ERROR);
        EXPECT_EQ(query.error, c.error);
        EXPECT_EQ(query.bytesReturned, 0u);
        EXPECT_EQ(query.source.ss_family, AF_UNSPEC) << "nothing may be written";
    }
}

}  // namespace
