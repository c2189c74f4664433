// The tick counter the Windows build reads under the name GetTickCount: its
// conversion from the performance counter, and that it has 1 ms resolution
// and runs at the pace of real time. Run under Wine by smoke_test.py; prints
// each failure, exit status 1 when any.

#include <cstdio>

#include "platform/platform.h"

namespace {

int failures = 0;

void Expect(bool condition, const char* what, unsigned long long seen) {
    if (!condition) {
        std::printf("FAIL %s: %llu\n", what, seen);
        failures += 1;
    }
}

struct Conversion {
    const char* what;
    ULONGLONG count;
    ULONGLONG frequency;
    DWORD tick;
};

constexpr ULONGLONG kTenMegahertz = 10'000'000;
constexpr ULONGLONG kThreeGigahertz = 3'000'000'000;
constexpr ULONGLONG kFourHundredDays = 400ull * 86'400;  // seconds
constexpr ULONGLONG kFourHundredDaysAtThreeGigahertz = kFourHundredDays * kThreeGigahertz;

const Conversion kConversions[] = {
    {"zero", 0, kTenMegahertz, 0},
    {"below 1 ms truncates", 9'999, kTenMegahertz, 0},
    {"exactly 1 ms", 10'000, kTenMegahertz, 1},
    {"1.5 s", 15'000'000, kTenMegahertz, 1'500},
    {"wraps after 2^32 ms", (4'294'967'296ull + 7) * 10'000, kTenMegahertz, 7},
    // count * 1000 would overflow 64 bits here.
    {"3 GHz after 400 days", kFourHundredDaysAtThreeGigahertz + 4'500'000, kThreeGigahertz,
     static_cast<DWORD>(kFourHundredDays * 1000 + 1)},
};

void CheckConversions() {
    for (const Conversion& conversion : kConversions) {
        const DWORD tick = TickFromCounter(conversion.count, conversion.frequency);
        Expect(tick == conversion.tick, conversion.what, tick);
    }
}

// Windows' own GetTickCount takes 13 to 20 values in 200 ms; a 1 ms tick
// takes close to 200, and well over 50 even when the process is preempted.
void CheckResolution() {
    constexpr DWORD kSpanMs = 200;
    const ULONGLONG giveUp = GetTickCount64() + 5'000;
    const DWORD start = GetTickCount();
    DWORD last = start;
    unsigned long long values = 1;
    while (last - start < kSpanMs && GetTickCount64() < giveUp) {
        const DWORD now = GetTickCount();
        values += now != last ? 1 : 0;
        last = now;
    }
    Expect(last - start >= kSpanMs, "the tick did not advance 200 ms in 5 s", last - start);
    Expect(values >= 50, "distinct tick values in 200 ms", values);
}

void CheckPace() {
    const DWORD before = GetTickCount();
    Sleep(300);
    const DWORD elapsed = GetTickCount() - before;
    Expect(elapsed >= 290 && elapsed <= 1'000, "ms counted over Sleep(300)", elapsed);
}

}  // namespace

int main() {
    CheckConversions();
    CheckResolution();
    CheckPace();
    std::printf("%s\n", failures == 0 ? "tick ok" : "tick failed");
    return failures == 0 ? 0 : 1;
}
