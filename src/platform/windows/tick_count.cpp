#include "platform/windows/tick_count.h"

DWORD FineTickCount() {
    // The frequency is fixed at system start, and neither call can fail on
    // Windows XP or later.
    LARGE_INTEGER frequency;
    LARGE_INTEGER count;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&count);
    return TickFromCounter(static_cast<ULONGLONG>(count.QuadPart),
                           static_cast<ULONGLONG>(frequency.QuadPart));
}

DWORD TickFromCounter(ULONGLONG count, ULONGLONG frequency) {
    // Whole seconds and the rest apart, so that count * 1000 cannot overflow.
    const ULONGLONG milliseconds = count / frequency * 1000 + count % frequency * 1000 / frequency;
    return static_cast<DWORD>(milliseconds);
}
