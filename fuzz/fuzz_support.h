// What the fuzz targets share.
#pragma once

#include <cstdio>
#include <cstdlib>

// Output of the code under test would only flood the fuzzer's own report,
// which goes to standard error.
inline void SilenceStandardOutput() {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) {
        std::perror("freopen /dev/null");
        std::abort();
    }
}

// Reports a broken promise of the code under test as a crash with this input.
inline void Require(bool holds) {
    if (!holds) {
        __builtin_trap();
    }
}
