// The kernel-side reply filter, on real raw sockets over loopback, in a
// network of the test's own: one socket sends crafted ICMP messages to the
// loopback address, a second one, with the filter installed, must receive
// exactly the ones the run can use.

#include "platform/linux/reply_filter.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "packet/echo_request.h"
#include "platform/linux/kernel.h"
#include "test_support.h"

namespace {

using Message = std::vector<std::uint8_t>;

const std::uint16_t kOurIdentifier = static_cast<std::uint16_t>(GetCurrentProcessId());
const std::uint16_t kForeignIdentifier = static_cast<std::uint16_t>(kOurIdentifier ^ 0x5A5A);

// Errors that make the kernel lower the path MTU (fragmentation needed,
// packet too big) are left out: they would change the loopback route.
constexpr std::uint8_t kIcmpEchoReply = 0;
constexpr std::uint8_t kIcmpUnreachable = 3;
constexpr std::uint8_t kIcmpTimeExceeded = 11;
constexpr std::uint8_t kIcmpTimestamp = 13;
constexpr std::uint8_t kIcmpV6Unreachable = 1;
constexpr std::uint8_t kIcmpV6TimeExceeded = 3;
constexpr std::uint8_t kIcmpV6EchoReply = 129;
constexpr std::uint8_t kIcmpV6NodeInformationQuery = 139;

constexpr int kQuietMs = 200;  // a loopback datagram arrives well within this
constexpr int kMostMs = 2000;

// An echo message with the identifier and sequence in host byte order, as
// the tool writes them, and a few data bytes.
Message Echo(std::uint8_t type, std::uint16_t identifier, std::uint16_t sequence) {
    Message message(8 + 4, 0x45);
    message[0] = type;
    message[1] = 0;
    message[2] = message[3] = 0;
    std::memcpy(&message[4], &identifier, 2);
    std::memcpy(&message[6], &sequence, 2);
    return message;
}

// An IPv4 header of headerLength bytes (options zero-filled) carrying ICMP.
Message Ipv4Header(int headerLength) {
    Message header(static_cast<std::size_t>(headerLength), 0);
    header[0] = static_cast<std::uint8_t>(0x40 | (headerLength / 4));
    header[8] = 64;  // TTL
    header[9] = IPPROTO_ICMP;
    return header;
}

Message Ipv6Header() {
    Message header(40, 0);
    header[0] = 0x60;
    header[6] = IPPROTO_ICMPV6;
    header[7] = 64;               // hop limit
    header[23] = header[39] = 1;  // ::1 to ::1
    return header;
}

// An ICMP or ICMPv6 error quoting quotedHeader followed by quotedMessage.
Message ErrorQuoting(std::uint8_t type, std::uint8_t code, const Message& quotedHeader,
                     const Message& quotedMessage) {
    Message message(8, 0);
    message[0] = type;
    message[1] = code;
    message.insert(message.end(), quotedHeader.begin(), quotedHeader.end());
    message.insert(message.end(), quotedMessage.begin(), quotedMessage.end());
    return message;
}

// The message with its checksum field zeroed, as the cases are written: the
// test fills in the IPv4 checksum when sending, the kernel the ICMPv6 one.
Message WithoutChecksum(Message message) {
    message[2] = message[3] = 0;
    return message;
}

struct Case {
    std::string name;
    Message message;
    bool wanted;
};

std::int64_t NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

class ReplyFilterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(EnterPrivateNetwork(), "");
    }

    void TearDown() override {
        for (const int socket : sockets_) {
            close(socket);
        }
    }

    int OpenRaw(int family) {
        const int socket =
            OpenRawSocket(family, family == AF_INET ? int{IPPROTO_ICMP} : int{IPPROTO_ICMPV6});
        if (socket >= 0) {
            sockets_.push_back(socket);
        }
        return socket;
    }

    // Sends every case to loopback and checks that the filtered socket
    // receives exactly the wanted ones, plus at most the kernel's own echo
    // replies to requests carrying our identifier.
    void ExpectOnlyWantedArrive(int family, const std::vector<Case>& cases) {
        const int receiver = OpenRaw(family);
        const int sender = OpenRaw(family);
        ASSERT_TRUE(receiver >= 0 && sender >= 0) << "raw sockets (run the tests as root)";
        ASSERT_EQ(InstallReplyFilter(receiver, family), 0) << "errno " << errno;

        for (const Case& sent : cases) {
            ASSERT_EQ(SendToLoopback(sender, family, sent.message),
                      static_cast<ssize_t>(sent.message.size()))
                << sent.name << ": errno " << errno;
        }
        const std::vector<Message> received = ReceiveUntilQuiet(receiver, family);

        std::set<Message> arrived;
        for (const Message& message : received) {
            arrived.insert(WithoutChecksum(message));
        }
        for (const Case& sent : cases) {
            EXPECT_EQ(arrived.erase(sent.message) == 1, sent.wanted) << sent.name;
        }
        const std::uint8_t echoReply = family == AF_INET ? kIcmpEchoReply : kIcmpV6EchoReply;
        for (const Message& other : arrived) {
            std::uint16_t identifier = 0;
            std::memcpy(&identifier, &other[4], 2);
            EXPECT_TRUE(other[0] == echoReply && identifier == kOurIdentifier)
                << "unexpected type " << int{other[0]} << " identifier " << identifier;
        }
    }

private:
    static ssize_t SendToLoopback(int socket, int family, Message message) {
        sockaddr_storage target{};
        socklen_t targetLength = 0;
        if (family == AF_INET) {
            auto& address = reinterpret_cast<sockaddr_in&>(target);
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            targetLength = sizeof address;
            const std::uint16_t checksum =
                InternetChecksum(message.data(), static_cast<int>(message.size()));
            std::memcpy(&message[2], &checksum, 2);
        } else {
            auto& address = reinterpret_cast<sockaddr_in6&>(target);
            address.sin6_family = AF_INET6;
            address.sin6_addr = in6addr_loopback;
            targetLength = sizeof address;
        }
        return sendto(socket, message.data(), message.size(), 0,
                      reinterpret_cast<const sockaddr*>(&target), targetLength);
    }

    // The ICMP messages received until nothing came for kQuietMs (at most
    // kMostMs in all); IPv4 headers are stripped.
    static std::vector<Message> ReceiveUntilQuiet(int socket, int family) {
        std::vector<Message> received;
        const std::int64_t deadline = NowMs() + kMostMs;
        pollfd readable{socket, POLLIN, 0};
        while (NowMs() < deadline && poll(&readable, 1, kQuietMs) > 0) {
            std::uint8_t buffer[65535];
            const ssize_t bytes = recv(socket, buffer, sizeof buffer, 0);
            if (bytes <= 0) {
                ADD_FAILURE() << "recv: errno " << errno;
                break;
            }
            const int headerLength = family == AF_INET ? (buffer[0] & 0x0F) * 4 : 0;
            received.emplace_back(buffer + headerLength, buffer + bytes);
        }
        return received;
    }

    std::vector<int> sockets_;
};

TEST_F(ReplyFilterTest, PassesOnlyOurEchoRepliesAndErrorsV4) {
    const Message ourRequest = Echo(kIcmpEchoRequest, kOurIdentifier, 2);
    const Message foreignRequest = Echo(kIcmpEchoRequest, kForeignIdentifier, 3);
    const Message withOptions = Ipv4Header(24);
    ExpectOnlyWantedArrive(
        AF_INET,
        {
            {"our echo reply", Echo(kIcmpEchoReply, kOurIdentifier, 1), true},
            {"foreign echo reply", Echo(kIcmpEchoReply, kForeignIdentifier, 1), false},
            {"our own echo request", ourRequest, false},
            {"time exceeded quoting our request",
             ErrorQuoting(kIcmpTimeExceeded, 0, Ipv4Header(20), ourRequest), true},
            {"time exceeded quoting a foreign request",
             ErrorQuoting(kIcmpTimeExceeded, 0, Ipv4Header(20), foreignRequest), false},
            {"unreachable quoting our request behind IP options",
             ErrorQuoting(kIcmpUnreachable, 1, withOptions, ourRequest), true},
            {"unreachable quoting a foreign request behind IP options",
             ErrorQuoting(kIcmpUnreachable, 1, withOptions, foreignRequest), false},
            {"timestamp with our identifier", Echo(kIcmpTimestamp, kOurIdentifier, 4), false},
        });
}

TEST_F(ReplyFilterTest, PassesOnlyOurEchoRepliesAndErrorsV6) {
    const Message ourRequest = Echo(kIcmpV6EchoRequest, kOurIdentifier, 2);
    const Message foreignRequest = Echo(kIcmpV6EchoRequest, kForeignIdentifier, 3);
    ExpectOnlyWantedArrive(
        AF_INET6, {
                      {"our echo reply", Echo(kIcmpV6EchoReply, kOurIdentifier, 1), true},
                      {"foreign echo reply", Echo(kIcmpV6EchoReply, kForeignIdentifier, 1), false},
                      {"our own echo request", ourRequest, false},
                      {"time exceeded quoting our request",
                       ErrorQuoting(kIcmpV6TimeExceeded, 0, Ipv6Header(), ourRequest), true},
                      {"time exceeded quoting a foreign request",
                       ErrorQuoting(kIcmpV6TimeExceeded, 0, Ipv6Header(), foreignRequest), false},
                      {"unreachable quoting our request",
                       ErrorQuoting(kIcmpV6Unreachable, 4, Ipv6Header(), ourRequest), true},
                      {"unreachable quoting a foreign request",
                       ErrorQuoting(kIcmpV6Unreachable, 4, Ipv6Header(), foreignRequest), false},
                      {"node information query with our identifier",
                       Echo(kIcmpV6NodeInformationQuery, kOurIdentifier, 4), false},
                  });
}

}  // namespace
