// The program: parse the command line, open the raw socket, send the echo
// requests one by one, print a line for each, then the statistics.

#include <cstdint>

#include "cli/console.h"
#include "cli/settings.h"
#include "net/receive.h"
#include "net/resolve.h"
#include "net/socket_options.h"
#include "packet/echo_request.h"
#include "packet/send_checksum.h"
#include "platform/platform.h"
#include "run/echo_stats.h"
#include "run/reply_match.h"
#include "run/route_report.h"

namespace {

constexpr DWORD kReplyWaitMs = 6000;
constexpr DWORD kPauseMs = 1000;
constexpr int kReplySourceSize = 128;
constexpr int kMaxDataSizeV4 = 65507;  // 65535 less the IPv4 and ICMP headers
constexpr int kMaxDataSizeV6 = 65486;  // what the IPv6 checksum can cover

// Every resource of a run; each is released only if it was obtained.
struct EchoRun {
    addrinfo* destination = nullptr;
    addrinfo* bindAddress = nullptr;
    SOCKET socket = INVALID_SOCKET;
    EchoRequest* request = nullptr;
    int requestLength = 0;
    WSAOVERLAPPED overlapped{};
    sockaddr_storage replySource{};
    int replySourceLength = kReplySourceSize;
};

bool DataSizeFits(int dataSize) {
    const int limit = settings.family == AF_INET6 ? kMaxDataSizeV6 : kMaxDataSizeV4;
    return dataSize >= 0 && dataSize <= limit;
}

void PostNextReceive(EchoRun& run) {
    run.replySourceLength = kReplySourceSize;
    PostReceive(run.socket, replyBuffer, settings.recvBufferSize,
                reinterpret_cast<sockaddr*>(&run.replySource), &run.replySourceLength,
                &run.overlapped);
}

void ChooseProtocol(int family) {
    settings.family = family;
    if (family == AF_INET) {
        settings.protocol = IPPROTO_ICMP;
    } else if (family == AF_INET6) {
        settings.protocol = IPPROTO_ICMPV6;
    }
}

// The start-up steps below each return 0, or -1 after reporting the failure.

// Looks up the destination, which decides the family, and the local wildcard
// address of that family.
int ResolveAddresses(EchoRun& run) {
    run.destination = LookupAddress(settings.destinationName, "0", settings.family, 0, 0);
    if (run.destination == nullptr) {
        PrintOut("bad name %s\n", PrintableName(settings.destinationName));
        return -1;
    }
    ChooseProtocol(run.destination->ai_family);
    run.bindAddress = LookupAddress(nullptr, "0", settings.family, 0, 0);
    if (run.bindAddress == nullptr) {
        PrintOut("Unable to obtain the bind address!\n");
        return -1;
    }
    return 0;
}

int OpenSocket(EchoRun& run) {
    run.socket = socket(settings.family, SOCK_RAW, settings.protocol);
    if (run.socket == INVALID_SOCKET) {
        PrintOut("socket failed: %d\n", WSAGetLastError());
        return -1;
    }
    SetTtl(run.socket, settings.ttl);
    return 0;
}

// Allocates and builds the echo request, asking for the route on IPv4 if wanted.
int BuildRequest(EchoRun& run) {
    if (!DataSizeFits(settings.dataSize)) {
        PrintTo(stderr, "bad data size %d\n", settings.dataSize);
        return -1;
    }
    const bool echoFamily = settings.family == AF_INET || settings.family == AF_INET6;
    run.requestLength = settings.dataSize + (echoFamily ? kEchoHeaderLength : 0);
    run.request = static_cast<EchoRequest*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, static_cast<std::size_t>(run.requestLength)));
    if (run.request == nullptr) {
        PrintTo(stderr, "HeapAlloc failed: %d\n", static_cast<int>(GetLastError()));
        return -1;
    }
    if (settings.family == AF_INET) {
        if (settings.recordRoute && RequestRecordRoute(run.socket) == SOCKET_ERROR) {
            PrintTo(stderr, "setsockopt(IP_OPTIONS) failed: %d\n", WSAGetLastError());
            return -1;
        }
        BuildEchoV4(run.request, settings.dataSize);
    } else if (settings.family == AF_INET6) {
        BuildEchoV6(run.request, settings.dataSize);
    }
    return 0;
}

// Binds the socket and starts the first receive.
int StartReceiving(EchoRun& run) {
    if (bind(run.socket, run.bindAddress->ai_addr, static_cast<int>(run.bindAddress->ai_addrlen)) ==
        SOCKET_ERROR) {
        PrintTo(stderr, "bind failed: %d\n", WSAGetLastError());
        return -1;
    }
    run.overlapped = WSAOVERLAPPED{};
    run.overlapped.hEvent = WSACreateEvent();
    if (run.overlapped.hEvent == WSA_INVALID_EVENT) {
        PrintTo(stderr, "WSACreateEvent failed: %d\n", WSAGetLastError());
        return -1;
    }
    PostNextReceive(run);
    return 0;
}

// Everything before the first request, then the banner and the target.
int StartUp(EchoRun& run) {
    if (ResolveAddresses(run) != 0 || OpenSocket(run) != 0 || BuildRequest(run) != 0 ||
        StartReceiving(run) != 0) {
        return -1;
    }
    PrintOut("\nQuorvel Network Testing V 0.0.3\nTarget: ");
    ShowAddress(run.destination->ai_addr, static_cast<int>(run.destination->ai_addrlen));
    PrintOut(" with %d bytes of data\n\n", settings.dataSize);
    return 0;
}

// Finishes the line of an echo reply and counts it.
void ReportReply(EchoStats& stats, int elapsedMs, int receivedBytes) {
    const ReplyClass replyClass = ClassifyReply(elapsedMs, settings.maxReplyMs);
    switch (replyClass) {
        case ReplyClass::UnderOneMs:
            PrintOut(": bytes=%d time<1ms TTL=%d\n", settings.dataSize, settings.ttl);
            break;
        case ReplyClass::InTime:
            PrintOut(": bytes=%d time=%dms TTL=%d\n", settings.dataSize, elapsedMs, settings.ttl);
            break;
        case ReplyClass::Late:
            PrintOut(": Request timed out (reply time > %dms.\n", settings.maxReplyMs);
            break;
    }
    CountReply(stats, replyClass, elapsedMs);
    PrintRoute(reinterpret_cast<const std::uint8_t*>(replyBuffer), receivedBytes);
}

// Waits for the answer to the request sent at sendTick, passing over every
// datagram that is not ours; 0, or -1 when the wait itself failed.
int AwaitAnswer(EchoRun& run, EchoStats& stats, DWORD sendTick, bool moreToCome) {
    for (;;) {
        const DWORD waited = GetTickCount() - sendTick;
        const DWORD left = waited >= kReplyWaitMs ? 0 : kReplyWaitMs - waited;
        const DWORD outcome = WaitForSingleObject(run.overlapped.hEvent, left);
        if (outcome == WAIT_FAILED) {
            PrintTo(stderr, "WaitForSingleObject failed: %d\n", static_cast<int>(GetLastError()));
            return -1;
        }
        if (outcome == WAIT_TIMEOUT) {
            PrintOut("Request timed out.\n");
            stats.lost += 1;
            return 0;
        }
        DWORD bytes = 0;
        DWORD flags = 0;
        const bool received =
            WSAGetOverlappedResult(run.socket, &run.overlapped, &bytes, FALSE, &flags);
        if (!received) {
            PrintTo(stderr, "WSAGetOverlappedResult failed: %d\n", WSAGetLastError());
        }
        const DWORD replyTick = GetTickCount();
        WSAResetEvent(run.overlapped.hEvent);
        const DatagramVerdict verdict =
            received ? ClassifyDatagram(settings.family,
                                        reinterpret_cast<const std::uint8_t*>(replyBuffer),
                                        static_cast<int>(bytes), *run.request)
                     : DatagramVerdict{DatagramKind::NotOurs, nullptr};
        if (verdict.kind == DatagramKind::NotOurs) {
            PostNextReceive(run);
            continue;
        }
        ShowAddress(reinterpret_cast<const sockaddr*>(&run.replySource), run.replySourceLength);
        if (verdict.kind == DatagramKind::Error) {
            PrintOut(": %s\n", verdict.reason);
            stats.lost += 1;
        } else {
            ReportReply(stats, ElapsedMs(sendTick, replyTick), static_cast<int>(bytes));
        }
        if (moreToCome) {
            PostNextReceive(run);
        }
        return 0;
    }
}

// Sends every request and reports its answer; 0, or -1 when a send or a wait
// failed.
int SendRequests(EchoRun& run, EchoStats& stats) {
    for (int i = 0; i < settings.count; ++i) {
        StampSequence(run.request);
        ChecksumEcho(run.socket, run.request, run.requestLength, run.destination);
        const DWORD sendTick = GetTickCount();
        stats.sent += 1;
        if (sendto(run.socket, reinterpret_cast<const char*>(run.request), run.requestLength, 0,
                   run.destination->ai_addr,
                   static_cast<int>(run.destination->ai_addrlen)) == SOCKET_ERROR) {
            PrintTo(stderr, "sendto failed: %d\n", WSAGetLastError());
            return -1;
        }
        if (AwaitAnswer(run, stats, sendTick, i < settings.count - 1) != 0) {
            return -1;
        }
        Sleep(kPauseMs);
    }
    return 0;
}

void TearDown(EchoRun& run) {
    if (run.destination != nullptr) {
        freeaddrinfo(run.destination);
    }
    if (run.bindAddress != nullptr) {
        freeaddrinfo(run.bindAddress);
    }
    if (run.socket != INVALID_SOCKET) {
        closesocket(run.socket);
    }
    if (run.overlapped.hEvent != WSA_INVALID_EVENT) {
        WSACloseEvent(run.overlapped.hEvent);
    }
    if (run.request != nullptr) {
        HeapFree(GetProcessHeap(), 0, run.request);
    }
    WSACleanup();
}

}  // namespace

int main(int argc, char** argv) {
    if (!ParseOptions(argc, argv)) {
        return -1;
    }
    WSADATA winsockData;
    if (const int error = WSAStartup(MAKEWORD(2, 2), &winsockData); error != 0) {
        PrintOut("WSAStartup() failed: %d\n", error);
        return -1;
    }
    EchoRun run;
    EchoStats stats;
    int result = StartUp(run);
    if (result == 0) {
        result = SendRequests(run, stats);
    }
    if (result == 0) {
        PrintStatistics(stats);
    }
    TearDown(run);
    return result;
}
