// The millisecond tick counter on Windows, at 1 ms resolution.
#pragma once

#include <windows.h>

// Milliseconds since the system started, in 32 bits (wraps after about 49.7
// days), like GetTickCount, but read from the performance counter: Windows'
// own GetTickCount advances in steps of 10 to 16 ms, too coarse for reply
// times.
DWORD FineTickCount();

// The tick for a performance counter reading: count / frequency seconds in
// milliseconds, kept to the low 32 bits.
DWORD TickFromCounter(ULONGLONG count, ULONGLONG frequency);
