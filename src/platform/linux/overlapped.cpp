// Overlapped receive with events, on one thread: a receive that cannot be
// completed at once is remembered by its event, and WaitForSingleObject
// completes it when the socket becomes readable, sleeping in poll() meanwhile.

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <optional>

#include "platform/linux/kernel.h"
#include "platform/linux/winsock.h"

namespace {

struct PendingReceive {
    SOCKET socket;
    WSABUF buffer;
    sockaddr* from;
    INT* fromLength;
    OVERLAPPED* overlapped;
};

struct Event {
    bool signalled = false;
    std::optional<PendingReceive> pending;
    Event* next = nullptr;
};

// Every event made by WSACreateEvent and not yet closed, newest first. Events
// live in C heap blocks and are chained here rather than kept in a standard
// container, so that the tool needs no C++ run-time library at all: that
// library's loading would be most of the tool's start-up cost.
Event* liveEvents = nullptr;

// The link in the chain that holds the event; null, with errno EBADF, for a
// handle that is no live event.
Event** LinkTo(HANDLE handle) {
    for (Event** link = &liveEvents; *link != nullptr; link = &(*link)->next) {
        if (*link == handle) {
            return link;
        }
    }
    errno = EBADF;
    return nullptr;
}

Event* FindEvent(HANDLE handle) {
    Event** link = LinkTo(handle);
    return link != nullptr ? *link : nullptr;
}

void Finish(Event& event, int error, std::size_t bytes) {
    OVERLAPPED& overlapped = *event.pending->overlapped;
    overlapped.Internal = static_cast<std::uintptr_t>(error);
    overlapped.InternalHigh = bytes;
    event.pending.reset();
    event.signalled = true;
}

// One attempt to take a datagram without blocking; true when the receive has
// ended, with a datagram or with an error.
bool TryToComplete(Event& event) {
    PendingReceive& receive = *event.pending;
    socklen_t sourceLength = receive.fromLength != nullptr ? *receive.fromLength : 0;
    const ssize_t bytes =
        recvfrom(receive.socket, receive.buffer.buf, receive.buffer.len, MSG_DONTWAIT, receive.from,
                 receive.from ? &sourceLength : nullptr);
    if (bytes < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
            return false;
        }
        Finish(event, errno, 0);
        return true;
    }
    if (receive.fromLength != nullptr) {
        *receive.fromLength = static_cast<INT>(
            std::min<socklen_t>(sourceLength, static_cast<socklen_t>(*receive.fromLength)));
    }
    Finish(event, 0, static_cast<std::size_t>(bytes));
    return true;
}

// Hands out a finished receive's byte count and flags; false, with errno
// set, when the receive failed.
bool TakeOutcome(const OVERLAPPED& overlapped, LPDWORD bytes, LPDWORD flags) {
    if (bytes != nullptr) {
        *bytes = static_cast<DWORD>(overlapped.InternalHigh);
    }
    if (flags != nullptr) {
        *flags = 0;
    }
    if (overlapped.Internal != 0) {
        errno = static_cast<int>(overlapped.Internal);
        return false;
    }
    return true;
}

}  // namespace

WSAEVENT WSACreateEvent() {
    void* memory = std::malloc(sizeof(Event));
    if (memory == nullptr) {
        errno = ENOMEM;
        return WSA_INVALID_EVENT;
    }
    Event* event = new (memory) Event;
    event->next = liveEvents;
    liveEvents = event;
    return event;
}

BOOL WSAResetEvent(WSAEVENT handle) {
    Event* event = FindEvent(handle);
    if (event == nullptr) {
        return FALSE;
    }
    event->signalled = false;
    return TRUE;
}

BOOL WSACloseEvent(WSAEVENT handle) {
    Event** link = LinkTo(handle);
    if (link == nullptr) {
        return FALSE;
    }
    Event* event = *link;
    *link = event->next;
    event->~Event();
    std::free(event);
    return TRUE;
}

int WSARecvFrom(SOCKET socket, LPWSABUF buffers, DWORD bufferCount, LPDWORD bytesReceived,
                LPDWORD flags, sockaddr* from, LPINT fromLength, LPWSAOVERLAPPED overlapped,
                LPWSAOVERLAPPED_COMPLETION_ROUTINE completionRoutine) {
    Event* event = overlapped != nullptr ? FindEvent(overlapped->hEvent) : nullptr;
    if (event == nullptr || buffers == nullptr || bufferCount != 1 ||
        completionRoutine != nullptr || event->pending) {
        errno = EINVAL;
        return SOCKET_ERROR;
    }
    event->signalled = false;
    event->pending = PendingReceive{socket, buffers[0], from, fromLength, overlapped};
    if (!TryToComplete(*event)) {
        errno = EINPROGRESS;
        return SOCKET_ERROR;
    }
    if (!TakeOutcome(*overlapped, bytesReceived, flags)) {
        // A receive that fails at once never started, and Winsock signals no
        // completion for it: the caller's wait must run into its time-out.
        event->signalled = false;
        return SOCKET_ERROR;
    }
    return 0;
}

BOOL WSAGetOverlappedResult(SOCKET /*socket*/, LPWSAOVERLAPPED overlapped, LPDWORD bytesTransferred,
                            BOOL wait, LPDWORD flags) {
    Event* event = overlapped != nullptr ? FindEvent(overlapped->hEvent) : nullptr;
    if (event == nullptr || wait) {
        errno = EINVAL;
        return FALSE;
    }
    if (event->pending) {
        errno = EBUSY;
        return FALSE;
    }
    return TakeOutcome(*overlapped, bytesTransferred, flags) ? TRUE : FALSE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    Event* event = FindEvent(handle);
    if (event == nullptr) {
        return WAIT_FAILED;
    }
    const bool forever = milliseconds == INFINITE;
    const DWORD start = GetTickCount();
    while (!event->signalled) {
        // Unsigned tick arithmetic: right across the counter's wrap.
        const DWORD waited = GetTickCount() - start;
        if (!forever && waited >= milliseconds) {
            return WAIT_TIMEOUT;
        }
        const DWORD left = milliseconds - waited;
        const int pollLimit = forever ? -1 : static_cast<int>(std::min<DWORD>(left, INT32_MAX));
        pollfd readable{event->pending ? event->pending->socket : -1, POLLIN, 0};
        const int ready = poll(&readable, 1, pollLimit);
        if (ready < 0 && errno != EINTR) {
            return WAIT_FAILED;
        }
        if (ready > 0) {
            TryToComplete(*event);
        }
    }
    return WAIT_OBJECT_0;
}

int closesocket(SOCKET socket) {
    for (Event* event = liveEvents; event != nullptr; event = event->next) {
        if (event->pending && event->pending->socket == socket) {
            Finish(*event, ECANCELED, 0);
        }
    }
    return close(socket);
}
