#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/console.h"
#include "net/resolve.h"
#include "test_support.h"

namespace {

std::string NumericText(const sockaddr* address) {
    char text[INET6_ADDRSTRLEN] = {};
    const void* bytes =
        address->sa_family == AF_INET6
            ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr)
            : &reinterpret_cast<const sockaddr_in*>(address)->sin_addr;
    inet_ntop(address->sa_family, bytes, text, sizeof text);
    return text;
}

int PortOf(const sockaddr* address) {
    return ntohs(address->sa_family == AF_INET6
                     ? reinterpret_cast<const sockaddr_in6*>(address)->sin6_port
                     : reinterpret_cast<const sockaddr_in*>(address)->sin_port);
}

struct LookupCase {
    const char* name;
    int family;  // what the lookup is restricted to
    int expectedFamily;
    const char* expectedAddress;
};

// Only numeric names and the wildcard: neither needs a name server.
TEST(LookupAddress, FindsNumericAddressesAndTheWildcardWithPortZero) {
    const LookupCase kCases[] = {
        {"127.0.0.1", AF_UNSPEC, AF_INET, "127.0.0.1"},
        {"192.0.2.7", AF_INET, AF_INET, "192.0.2.7"},
        {"::1", AF_UNSPEC, AF_INET6, "::1"},
        {"2001:db8::7", AF_INET6, AF_INET6, "2001:db8::7"},
        // Without a name the lookup is for the address to bind to.
        {nullptr, AF_INET, AF_INET, "0.0.0.0"},
        {nullptr, AF_INET6, AF_INET6, "::"},
    };
    for (const LookupCase& c : kCases) {
        SCOPED_TRACE(testing::Message() << PrintableName(c.name) << " family " << c.family);
        addrinfo* found = nullptr;
        const PrintedText printed =
            CapturePrinted([&] { found = LookupAddress(c.name, "0", c.family, 0, 0); });
        ASSERT_NE(found, nullptr) << printed.err;
        EXPECT_EQ(found->ai_family, c.expectedFamily);
        EXPECT_EQ(found->ai_addrlen, SocketAddressLength(c.expectedFamily));
        EXPECT_EQ(NumericText(found->ai_addr), c.expectedAddress);
        EXPECT_EQ(PortOf(found->ai_addr), 0);
        EXPECT_EQ(printed.out, "");
        EXPECT_EQ(printed.err, "");
        freeaddrinfo(found);
    }
}

TEST(LookupAddress, ReportsAFailureWithTheNameAndTheCode) {
    addrinfo* found = nullptr;
    // A family the lookup does not serve fails before any name service is asked.
    const PrintedText printed =
        CapturePrinted([&] { found = LookupAddress(nullptr, "0", AF_UNIX, 0, 0); });
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(printed.out, "");
    EXPECT_EQ(printed.err, "Invalid address (null), getaddrinfo failed: 10047\n");
}

constexpr int kLookupReturnedNull = 0;
constexpr int kLookupReturnedList = 1;
constexpr int kSandboxFailed = 2;

// Gives the child a network of its own with no interface up, so that no query
// can leave the machine, and a name service that reads /etc/hosts only, so
// that an unknown name is answered "not found" instead of "no name server
// reachable". Returns an empty text or what failed.
std::string EnterLookupSandbox() {
    if (unshare(CLONE_NEWNET | CLONE_NEWNS) != 0) {
        return std::string("unshare: ") + std::strerror(errno);
    }
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        return std::string("making / private: ") + std::strerror(errno);
    }
    char hostsOnly[] = "/tmp/qping-nsswitch-XXXXXX";
    const int file = mkstemp(hostsOnly);
    if (file < 0) {
        return std::string("mkstemp: ") + std::strerror(errno);
    }
    const char kConfiguration[] = "hosts: files\n";
    const bool written = write(file, kConfiguration, sizeof kConfiguration - 1) ==
                         static_cast<ssize_t>(sizeof kConfiguration - 1);
    close(file);
    const bool mounted =
        written && mount(hostsOnly, "/etc/nsswitch.conf", nullptr, MS_BIND, nullptr) == 0;
    const int mountError = errno;
    unlink(hostsOnly);
    if (!mounted) {
        return std::string("bind-mounting nsswitch.conf: ") + std::strerror(mountError);
    }
    return "";
}

struct SandboxedLookup {
    int outcome;      // kLookupReturnedNull, kLookupReturnedList or kSandboxFailed
    std::string err;  // what was printed on standard error
};

// LookupAddress(name, "0", AF_UNSPEC, 0, 0) in a child inside the sandbox.
SandboxedLookup LookUpInSandbox(const char* name) {
    int channel[2];
    if (pipe(channel) != 0) {
        return {kSandboxFailed, "pipe failed"};
    }
    const pid_t child = fork();
    if (child < 0) {
        close(channel[0]);
        close(channel[1]);
        return {kSandboxFailed, "fork failed"};
    }
    if (child == 0) {
        close(channel[0]);
        dup2(channel[1], STDERR_FILENO);
        const std::string failure = EnterLookupSandbox();
        if (!failure.empty()) {
            std::fputs(failure.c_str(), stderr);
            _exit(kSandboxFailed);
        }
        addrinfo* found = LookupAddress(name, "0", AF_UNSPEC, 0, 0);
        std::fflush(stderr);
        _exit(found == nullptr ? kLookupReturnedNull : kLookupReturnedList);
    }
    close(channel[1]);
    SandboxedLookup result{kSandboxFailed, ""};
    char chunk[256];
    ssize_t got = 0;
    while ((got = read(channel[0], chunk, sizeof chunk)) > 0) {
        result.err.append(chunk, static_cast<std::size_t>(got));
    }
    close(channel[0]);
    int status = 0;
    if (waitpid(child, &status, 0) == child && WIFEXITED(status)) {
        result.outcome = WEXITSTATUS(status);
    }
    return result;
}

TEST(LookupAddress, ReportsAnUnknownNameAsHostNotFound) {
    const SandboxedLookup lookup = LookUpInSandbox("no-such-host.invalid");
    ASSERT_NE(lookup.outcome, kSandboxFailed) << lookup.err;
    EXPECT_EQ(lookup.outcome, kLookupReturnedNull);
    EXPECT_EQ(lookup.err, "Invalid address no-such-host.invalid, getaddrinfo failed: 11001\n");
}

struct ShowCase {
    int family;
    const char* address;
    std::uint16_t port;
    const char* expected;
};

TEST(ShowAddress, PrintsTheHostAloneOrWithItsPort) {
    const ShowCase kCases[] = {
        {AF_INET, "192.0.2.7", 0, "192.0.2.7"},
        {AF_INET6, "2001:db8::7", 0, "2001:db8::7"},
        {AF_INET6, "::ffff:192.0.2.7", 0, "::ffff:192.0.2.7"},
        {AF_INET, "127.0.0.1", 8080, "127.0.0.1:8080"},
        {AF_INET6, "::1", 443, "[::1]:443"},
    };
    for (const ShowCase& c : kCases) {
        SCOPED_TRACE(c.expected);
        const sockaddr_storage address = SocketAddress(c.family, c.address, c.port);
        int result = -1;
        const PrintedText printed = CapturePrinted([&] {
            result = ShowAddress(reinterpret_cast<const sockaddr*>(&address),
                                 static_cast<int>(SocketAddressLength(c.family)));
        });
        EXPECT_EQ(result, 0);
        EXPECT_EQ(printed.out, c.expected);
        EXPECT_EQ(printed.err, "");
    }
}

TEST(ShowAddress, ReportsAFailureWithItsSourceFileAndTheCode) {
    sockaddr_storage unknownFamily = SocketAddress(AF_INET, "192.0.2.7");
    unknownFamily.ss_family = AF_UNSPEC;
    const sockaddr_storage v4 = SocketAddress(AF_INET, "192.0.2.7");
    struct {
        const sockaddr_storage* address;
        int length;
    } const kCases[] = {{&v4, 3}, {&v4, 8}, {&unknownFamily, sizeof(sockaddr_in)}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << "length " << c.length);
        int result = 0;
        const PrintedText printed = CapturePrinted(
            [&] { result = ShowAddress(reinterpret_cast<const sockaddr*>(c.address), c.length); });
        EXPECT_EQ(result, 10047);
        EXPECT_EQ(printed.out, "");
        const std::string message = "src/net/resolve.cpp: getnameinfo failed: 10047\n";
        EXPECT_TRUE(printed.err.ends_with(message)) << printed.err;
        EXPECT_EQ(printed.err.find('\n'), printed.err.size() - 1) << "one line only";
    }
}

}  // namespace
