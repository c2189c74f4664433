#include "platform/linux/kernel.h"

#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/linux/error_codes.h"

DWORD GetTickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto milliseconds = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                              static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<DWORD>(milliseconds);
}

DWORD GetCurrentProcessId() {
    return static_cast<DWORD>(getpid());
}

void Sleep(DWORD milliseconds) {
    timespec remaining{static_cast<time_t>(milliseconds / 1000),
                       static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

namespace {
// The process heap is the C library's: any non-null handle stands for it.
int processHeap;
}  // namespace

HANDLE GetProcessHeap() {
    return &processHeap;
}

void* HeapAlloc(HANDLE heap, DWORD flags, std::size_t bytes) {
    if (heap != &processHeap) {
        errno = EBADF;
        return nullptr;
    }
    // A zero-byte block is still a distinct, freeable block, as on Windows.
    const std::size_t size = bytes == 0 ? 1 : bytes;
    void* memory = (flags & HEAP_ZERO_MEMORY) ? std::calloc(1, size) : std::malloc(size);
    if (memory == nullptr) {
        errno = ENOMEM;
    }
    return memory;
}

BOOL HeapFree(HANDLE heap, DWORD /*flags*/, void* memory) {
    if (heap != &processHeap) {
        errno = EBADF;
        return FALSE;
    }
    std::free(memory);
    return TRUE;
}

DWORD GetLastError() {
    return SystemErrorFromErrno(errno);
}
