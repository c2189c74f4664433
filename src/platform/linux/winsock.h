// Windows Sockets 2 as the tool uses it, on top of the Linux socket API.
// Socket calls whose Linux results already mean what Winsock's mean
// (setsockopt, bind, sendto, htonl) are the system's own; the lookup routines
// are wrapped so that they return Winsock's error codes, and socket so that
// a raw ICMP socket gets a kernel-side filter and the process gives up its
// privileges once the socket is open.
#pragma once

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "platform/linux/types.h"

using SOCKET = int;
constexpr SOCKET INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;

using WSAEVENT = HANDLE;
constexpr WSAEVENT WSA_INVALID_EVENT = nullptr;

constexpr WORD MAKEWORD(BYTE low, BYTE high) {
    return static_cast<WORD>(low | (high << 8));
}

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[257];
    char szSystemStatus[129];
};

struct WSABUF {
    ULONG len;
    CHAR* buf;
};

// Internal holds the errno of a failed receive (0 when it succeeded),
// InternalHigh the bytes received.
struct OVERLAPPED {
    std::uintptr_t Internal;
    std::uintptr_t InternalHigh;
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
};
using WSAOVERLAPPED = OVERLAPPED;
using LPWSAOVERLAPPED = OVERLAPPED*;
using LPWSABUF = WSABUF*;
using LPWSAOVERLAPPED_COMPLETION_ROUTINE = void (*)(DWORD, DWORD, LPWSAOVERLAPPED, DWORD);

// Winsock error codes the layer reports.
constexpr int WSA_NOT_ENOUGH_MEMORY = 8;
constexpr int WSA_OPERATION_ABORTED = 995;
constexpr int WSA_IO_INCOMPLETE = 996;
constexpr int WSA_IO_PENDING = 997;
constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAEACCES = 10013;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAEALREADY = 10037;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEDESTADDRREQ = 10039;
constexpr int WSAEMSGSIZE = 10040;
constexpr int WSAEPROTOTYPE = 10041;
constexpr int WSAENOPROTOOPT = 10042;
constexpr int WSAEPROTONOSUPPORT = 10043;
constexpr int WSAESOCKTNOSUPPORT = 10044;
constexpr int WSAEOPNOTSUPP = 10045;
constexpr int WSAEPFNOSUPPORT = 10046;
constexpr int WSAEAFNOSUPPORT = 10047;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETDOWN = 10050;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAENETRESET = 10052;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAEISCONN = 10056;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAESHUTDOWN = 10058;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAELOOP = 10062;
constexpr int WSAENAMETOOLONG = 10063;
constexpr int WSAEHOSTDOWN = 10064;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSASYSCALLFAILURE = 10107;
constexpr int WSATYPE_NOT_FOUND = 10109;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSATRY_AGAIN = 11002;
constexpr int WSANO_RECOVERY = 11003;
constexpr int WSANO_DATA = 11004;

constexpr DWORD SIO_ROUTING_INTERFACE_QUERY = 0xC8000014;

int WSAStartup(WORD version, WSADATA* data);
int WSACleanup();

// Winsock error code of the last failed socket call.
int WSAGetLastError();

// Closes the socket; a receive still pending on it ends with
// WSA_OPERATION_ABORTED and its event is signalled.
int closesocket(SOCKET socket);

WSAEVENT WSACreateEvent();
BOOL WSAResetEvent(WSAEVENT event);
BOOL WSACloseEvent(WSAEVENT event);

// Takes a waiting datagram at once (returns 0, event signalled), or leaves the
// receive pending (SOCKET_ERROR with WSA_IO_PENDING) to be completed by
// WaitForSingleObject on overlapped->hEvent; any other failure leaves the
// event unsignalled. Needs an overlapped record with an event; completion
// routines are not supported.
int WSARecvFrom(SOCKET socket, LPWSABUF buffers, DWORD bufferCount, LPDWORD bytesReceived,
                LPDWORD flags, sockaddr* from, LPINT fromLength, LPWSAOVERLAPPED overlapped,
                LPWSAOVERLAPPED_COMPLETION_ROUTINE completionRoutine);

// Only the completed-or-not query is supported: wait must be FALSE.
BOOL WSAGetOverlappedResult(SOCKET socket, LPWSAOVERLAPPED overlapped, LPDWORD bytesTransferred,
                            BOOL wait, LPDWORD flags);

// Supports SIO_ROUTING_INTERFACE_QUERY only: the local address the system
// would send from toward the destination given as input. Nothing is sent.
int WSAIoctl(SOCKET socket, DWORD controlCode, void* inBuffer, DWORD inLength, void* outBuffer,
             DWORD outLength, LPDWORD bytesReturned, LPWSAOVERLAPPED overlapped,
             LPWSAOVERLAPPED_COMPLETION_ROUTINE completionRoutine);

// socket under its Winsock name: the system's socket, with the reply filter
// (platform/linux/reply_filter.h) on a raw ICMP or ICMPv6 one, after which the
// process keeps no capability and no set-user-ID or set-group-ID identity
// (platform/linux/privileges.h). INVALID_SOCKET when opening or dropping the
// privileges failed.
SOCKET WinsockSocket(int family, int type, int protocol);
#define socket(family, type, protocol) WinsockSocket(family, type, protocol)

// The lookup routines under their Winsock names, returning Winsock codes.
int WinsockGetAddrInfo(const char* name, const char* service, const addrinfo* hints,
                       addrinfo** result);
int WinsockGetNameInfo(const sockaddr* address, socklen_t addressLength, char* host,
                       socklen_t hostLength, char* service, socklen_t serviceLength, int flags);
#define getaddrinfo(name, service, hints, result) WinsockGetAddrInfo(name, service, hints, result)
#define getnameinfo(address, addressLength, host, hostLength, service, serviceLength, flags) \
    WinsockGetNameInfo(address, addressLength, host, hostLength, service, serviceLength, flags)
