#include <gtest/gtest.h>

#include <netdb.h>

#include <cerrno>

#include "platform/linux/error_codes.h"

namespace {

struct Mapping {
    int from;
    int to;
};

// The numbers are Windows' own, written out rather than taken from winsock.h,
// so that a wrong constant there shows up here.
TEST(WinsockErrorFromErrno, GivesTheWinsockCodeOfEachErrno) {
    const Mapping kCases[] = {
        {EACCES, 10013},
        {EPERM, 10013},
        {EMSGSIZE, 10040},
        {ENETUNREACH, 10051},
        {EHOSTUNREACH, 10065},
        {EINVAL, 10022},
        {EAFNOSUPPORT, 10047},
        {EPROTONOSUPPORT, 10043},
        {EADDRNOTAVAIL, 10049},
        {ENOBUFS, 10055},
        {EBADF, 10038},
        {ENOTSOCK, 10038},
        {EFAULT, 10014},
        {EINPROGRESS, 997},
        {EBUSY, 996},
        {ECANCELED, 995},
        {ENOMEM, 8},
        {EDOM, 10107},
        {-1, 10107},
    };
    for (const Mapping& c : kCases) {
        EXPECT_EQ(WinsockErrorFromErrno(c.from), c.to) << "errno " << c.from;
    }
}

TEST(WinsockErrorFromLookup, GivesTheWinsockCodeOfEachLookupResult) {
    const Mapping kCases[] = {
        {0, 0},
        {EAI_NONAME, 11001},
        {EAI_AGAIN, 11002},
        {EAI_FAIL, 11003},
        {EAI_NODATA, 11004},
        {EAI_ADDRFAMILY, 11004},
        {EAI_FAMILY, 10047},
        {EAI_SERVICE, 10109},
        {EAI_MEMORY, 8},
        {EAI_SOCKTYPE, 10044},
        {EAI_BADFLAGS, 10022},
        {12345, 11003},
    };
    for (const Mapping& c : kCases) {
        // The errno passed along must not matter unless the result is EAI_SYSTEM.
        EXPECT_EQ(WinsockErrorFromLookup(c.from, EACCES), c.to) << "result " << c.from;
    }
}

TEST(WinsockErrorFromLookup, TakesTheErrnoOfASystemFailure) {
    EXPECT_EQ(WinsockErrorFromLookup(EAI_SYSTEM, EACCES), 10013);
    EXPECT_EQ(WinsockErrorFromLookup(EAI_SYSTEM, EMSGSIZE), 10040);
    EXPECT_EQ(WinsockErrorFromLookup(EAI_SYSTEM, EDOM), 10107);
}

TEST(SystemErrorFromErrno, GivesTheWindowsSystemCodeOfEachErrno) {
    const Mapping kCases[] = {
        {EBADF, 6},
        {ENOMEM, 8},
        {EINVAL, 87},
        {EDOM, 31},
    };
    for (const Mapping& c : kCases) {
        EXPECT_EQ(SystemErrorFromErrno(c.from), static_cast<DWORD>(c.to)) << "errno " << c.from;
    }
}

}  // namespace
