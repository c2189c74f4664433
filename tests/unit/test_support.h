// Helpers shared by the unit tests: what a call prints, and a network of the
// test's own for tests that send datagrams.
#pragma once

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <cstdint>
#include <string>

struct PrintedText {
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs the action and returns what it wrote to standard output and error.
template <typename Action>
PrintedText CapturePrinted(Action&& action) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    action();
    PrintedText printed;
    printed.out = testing::internal::GetCapturedStdout();
    printed.err = testing::internal::GetCapturedStderr();
    return printed;
}

// Moves this process into a network namespace of its own that holds only the
// loopback interface, up: no datagram can leave it, and no other process sees
// the test's traffic or sends it any. Returns an empty text on success, else
// what failed.
std::string EnterPrivateNetwork();

// A socket address of the family (AF_INET or AF_INET6) from its numeric text;
// the port is given in host order.
sockaddr_storage SocketAddress(int family, const char* text, std::uint16_t port = 0);

// The length of a socket address of that family.
socklen_t SocketAddressLength(int family);

// A raw socket opened with the system's own call, -1 on failure. The tool's
// socket gives up the process's privileges once it is open, and a test that
// opens another raw socket or makes a network namespace afterwards needs them.
int OpenRawSocket(int family, int protocol);
