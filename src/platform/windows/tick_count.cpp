#include "platform/windows/tick_count.h"

DWORD FineTickCount() {
    // The frequency is fixed at system start and both calls cannot fail on
    // any Windows version the program runs on (XP and later).
    LARGE_INTEGER frequency;
    LARGE_INTEGER count;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&count);
    // Whole seconds and the rest apart, so that count * 1000 cannot overflow.
    const auto perSecond = static_cast<ULONGLONG>(frequency.QuadPart);
    const auto ticks = static_cast<ULONGLONG>(count.QuadPart);
    return static_cast<DWORD>(ticks / perSecond * 1000 + ticks % perSecond * 1000 / perSecond);
}
