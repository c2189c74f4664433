#include <gtest/gtest.h>

#include <poll.h>
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "net/receive.h"
#include "packet/echo_request.h"
#include "platform/platform.h"
#include "test_support.h"

namespace {

constexpr int kDataSize = 32;
constexpr int kRequestLength = 8 + kDataSize;
constexpr int kIpHeaderLength = 20;  // what the system sends with no options
constexpr int kSourceStorage = 128;

double ProcessCpuMs() {
    timespec used{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return static_cast<double>(used.tv_sec) * 1000.0 + static_cast<double>(used.tv_nsec) / 1e6;
}

// Switches off the system's own echo replies in this process's network, so
// that an echo request sent to 127.0.0.1 arrives as one datagram, not two.
bool IgnoreEchoRequests() {
    std::FILE* setting = std::fopen("/proc/sys/net/ipv4/icmp_echo_ignore_all", "w");
    if (setting == nullptr) {
        return false;
    }
    const bool written = std::fputs("1", setting) >= 0;
    return std::fclose(setting) == 0 && written;
}

// A raw ICMP socket in a network of the test's own, so that the only
// datagrams it sees are the echo requests the test sends to 127.0.0.1, and an
// overlapped record with its event.
class OverlappedReceiveTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(EnterPrivateNetwork(), "");
        ASSERT_TRUE(IgnoreEchoRequests());
        rawSocket = OpenRawSocket(AF_INET, IPPROTO_ICMP);
        ASSERT_NE(rawSocket, INVALID_SOCKET) << "raw socket (run the tests as root)";
        overlapped.hEvent = WSACreateEvent();
        ASSERT_NE(overlapped.hEvent, WSA_INVALID_EVENT);

        auto* request = reinterpret_cast<EchoRequest*>(echoRequest);
        BuildEchoV4(request, kDataSize);
        request->checksum = InternetChecksum(echoRequest, kRequestLength);
    }
    void TearDown() override {
        if (rawSocket != INVALID_SOCKET) {
            closesocket(rawSocket);
        }
        if (overlapped.hEvent != WSA_INVALID_EVENT) {
            WSACloseEvent(overlapped.hEvent);
        }
    }

    // True when the echo request went out to 127.0.0.1.
    bool SendEchoToSelf() const {
        const sockaddr_storage loopback = SocketAddress(AF_INET, "127.0.0.1");
        return sendto(rawSocket, echoRequest, kRequestLength, 0,
                      reinterpret_cast<const sockaddr*>(&loopback),
                      SocketAddressLength(AF_INET)) == kRequestLength;
    }
    bool WaitUntilQueued() const {
        pollfd readable{rawSocket, POLLIN, 0};
        return poll(&readable, 1, 1000) == 1;
    }
    // WSARecvFrom as PostReceive calls it, into replyBuffer.
    int StartReceive() {
        buffer = WSABUF{kReplyBufferSize, replyBuffer};
        sourceLength = kSourceStorage;
        return WSARecvFrom(rawSocket, &buffer, 1, &bytesAtOnce, &flags,
                           reinterpret_cast<sockaddr*>(&source), &sourceLength, &overlapped,
                           nullptr);
    }
    // PostReceive as the run calls it.
    int PostReceive() {
        sourceLength = kSourceStorage;
        return ::PostReceive(rawSocket, replyBuffer, kReplyBufferSize,
                             reinterpret_cast<sockaddr*>(&source), &sourceLength, &overlapped);
    }
    bool Signalled() const {
        return WaitForSingleObject(overlapped.hEvent, 0) == WAIT_OBJECT_0;
    }
    // The completed receive holds the echo request sent, from 127.0.0.1.
    void ExpectOurRequestReceived() {
        DWORD bytes = 0;
        DWORD resultFlags = 0;
        ASSERT_TRUE(WSAGetOverlappedResult(rawSocket, &overlapped, &bytes, FALSE, &resultFlags))
            << WSAGetLastError();
        ASSERT_EQ(bytes, static_cast<DWORD>(kIpHeaderLength + kRequestLength));
        EXPECT_EQ(std::memcmp(replyBuffer + kIpHeaderLength, echoRequest, kRequestLength), 0);
        EXPECT_EQ(sourceLength, static_cast<int>(sizeof(sockaddr_in)));
        const sockaddr_storage loopback = SocketAddress(AF_INET, "127.0.0.1");
        EXPECT_EQ(std::memcmp(&source, &loopback, sizeof(sockaddr_in)), 0);
    }

    SOCKET rawSocket = INVALID_SOCKET;
    WSAOVERLAPPED overlapped{};
    alignas(EchoRequest) char echoRequest[kRequestLength] = {};
    WSABUF buffer{};
    DWORD bytesAtOnce = 0;
    DWORD flags = 0;
    sockaddr_storage source{};
    int sourceLength = kSourceStorage;
};

TEST_F(OverlappedReceiveTest, CompletesAtOnceWhenADatagramIsWaiting) {
    ASSERT_TRUE(SendEchoToSelf());
    ASSERT_TRUE(WaitUntilQueued());

    EXPECT_EQ(StartReceive(), 0);
    EXPECT_EQ(bytesAtOnce, static_cast<DWORD>(kIpHeaderLength + kRequestLength));
    // The run waits on the event also then, so it must be signalled.
    EXPECT_TRUE(Signalled());
    ExpectOurRequestReceived();
}

TEST_F(OverlappedReceiveTest, StaysPendingUntilADatagramArrives) {
    ASSERT_EQ(StartReceive(), SOCKET_ERROR);
    ASSERT_EQ(WSAGetLastError(), WSA_IO_PENDING);
    EXPECT_FALSE(Signalled());
    DWORD bytes = 0;
    DWORD resultFlags = 0;
    EXPECT_FALSE(WSAGetOverlappedResult(rawSocket, &overlapped, &bytes, FALSE, &resultFlags));
    EXPECT_EQ(WSAGetLastError(), WSA_IO_INCOMPLETE);

    // The datagram comes while the wait sleeps, well before its limit.
    constexpr DWORD kSendAfterMs = 30;
    bool sent = false;
    std::thread sender([&] {
        Sleep(kSendAfterMs);
        sent = SendEchoToSelf();
    });
    const DWORD start = GetTickCount();
    const DWORD outcome = WaitForSingleObject(overlapped.hEvent, 2000);
    const DWORD waited = GetTickCount() - start;
    sender.join();

    ASSERT_TRUE(sent);
    EXPECT_EQ(outcome, WAIT_OBJECT_0);
    EXPECT_LT(waited, 1000u);
    EXPECT_TRUE(Signalled());
    ExpectOurRequestReceived();
}

TEST_F(OverlappedReceiveTest, TimesOutAfterTheLimitSleepingMeanwhile) {
    // First with no receive on the event, then with one pending.
    for (const bool pending : {false, true}) {
        SCOPED_TRACE(pending ? "receive pending" : "no receive");
        if (pending) {
            ASSERT_EQ(StartReceive(), SOCKET_ERROR);
        }
        constexpr DWORD kLimitMs = 60;
        const double cpuBefore = ProcessCpuMs();
        const DWORD start = GetTickCount();
        const DWORD outcome = WaitForSingleObject(overlapped.hEvent, kLimitMs);
        const DWORD waited = GetTickCount() - start;
        const double cpuUsed = ProcessCpuMs() - cpuBefore;

        EXPECT_EQ(outcome, 258u) << "WAIT_TIMEOUT";
        EXPECT_GE(waited, kLimitMs);
        EXPECT_LT(waited, kLimitMs + 100);
        EXPECT_LT(cpuUsed, 10.0) << "the wait must sleep, not spin";
        EXPECT_FALSE(Signalled());
    }
}

TEST_F(OverlappedReceiveTest, ClosingTheSocketEndsAPendingReceive) {
    ASSERT_EQ(StartReceive(), SOCKET_ERROR);
    closesocket(rawSocket);
    const SOCKET closed = rawSocket;
    rawSocket = INVALID_SOCKET;

    EXPECT_TRUE(Signalled());
    DWORD bytes = 1;
    DWORD resultFlags = 0;
    EXPECT_FALSE(WSAGetOverlappedResult(closed, &overlapped, &bytes, FALSE, &resultFlags));
    EXPECT_EQ(WSAGetLastError(), WSA_OPERATION_ABORTED);
    EXPECT_EQ(bytes, 0u);
}

TEST_F(OverlappedReceiveTest, WaitFailsForAHandleThatIsNoEvent) {
    int notAnEvent = 0;
    EXPECT_EQ(WaitForSingleObject(&notAnEvent, 10), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), 6u) << "ERROR_INVALID_HANDLE";

    const WSAEVENT closedEvent = WSACreateEvent();
    ASSERT_NE(closedEvent, WSA_INVALID_EVENT);
    WSACloseEvent(closedEvent);
    EXPECT_EQ(WaitForSingleObject(closedEvent, 10), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), 6u);
}

TEST_F(OverlappedReceiveTest, PostReceiveCountsAnImmediateAndAPendingReceiveAsStarted) {
    ASSERT_TRUE(SendEchoToSelf());
    ASSERT_TRUE(WaitUntilQueued());
    int result = -1;
    PrintedText printed = CapturePrinted([&] { result = PostReceive(); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(printed.out + printed.err, "");
    EXPECT_TRUE(Signalled());
    ExpectOurRequestReceived();

    WSAResetEvent(overlapped.hEvent);
    result = -1;
    printed = CapturePrinted([&] { result = PostReceive(); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(printed.out + printed.err, "");
    EXPECT_FALSE(Signalled());
}

TEST_F(OverlappedReceiveTest, PostReceiveReportsAReceiveThatCannotStart) {
    const SOCKET usable = rawSocket;
    rawSocket = INVALID_SOCKET;
    int result = 0;
    const PrintedText printed = CapturePrinted([&] { result = PostReceive(); });
    rawSocket = usable;
    EXPECT_EQ(result, -1);
    EXPECT_EQ(printed.err, "WSARecvFrom failed: 10038\n");
    EXPECT_EQ(printed.out, "");
    // No completion follows a receive that never started: the run's wait on
    // the event must run into its time-out rather than return at once.
    EXPECT_FALSE(Signalled());

    // The event can carry the next receive.
    ASSERT_TRUE(SendEchoToSelf());
    ASSERT_TRUE(WaitUntilQueued());
    EXPECT_EQ(StartReceive(), 0);
    EXPECT_TRUE(Signalled());
    ExpectOurRequestReceived();
}

}  // namespace
