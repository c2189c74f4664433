// Windows kernel services: tick counter, process identifier, sleep, process
// heap, the last error of those calls, and waiting on an event.
#pragma once

#include <cstddef>

#include "platform/linux/types.h"

constexpr DWORD HEAP_ZERO_MEMORY = 0x00000008;
constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

// Milliseconds from a monotonic clock, in 32 bits: wraps after about 49.7 days.
DWORD GetTickCount();
DWORD GetCurrentProcessId();
void Sleep(DWORD milliseconds);

HANDLE GetProcessHeap();
void* HeapAlloc(HANDLE heap, DWORD flags, std::size_t bytes);
BOOL HeapFree(HANDLE heap, DWORD flags, void* memory);

// Windows system error code of the last failed kernel-service call.
DWORD GetLastError();

// Waits for an event made by WSACreateEvent; a receive pending on it is
// completed inside the wait. WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED.
DWORD WaitForSingleObject(HANDLE event, DWORD milliseconds);
