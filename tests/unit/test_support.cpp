#include "test_support.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

std::string Failure(const char* call) {
    return std::string(call) + ": " + std::strerror(errno);
}

}  // namespace

std::string EnterPrivateNetwork() {
    if (unshare(CLONE_NEWNET) != 0) {
        return Failure("unshare(CLONE_NEWNET)");
    }
    const int control = socket(AF_INET, SOCK_DGRAM, 0);
    if (control < 0) {
        return Failure("socket");
    }
    ifreq loopback{};
    std::strncpy(loopback.ifr_name, "lo", IFNAMSIZ - 1);
    std::string failure;
    if (ioctl(control, SIOCGIFFLAGS, &loopback) != 0) {
        failure = Failure("SIOCGIFFLAGS");
    } else {
        loopback.ifr_flags = static_cast<short>(loopback.ifr_flags | IFF_UP);
        if (ioctl(control, SIOCSIFFLAGS, &loopback) != 0) {
            failure = Failure("SIOCSIFFLAGS");
        }
    }
    close(control);
    return failure;
}

sockaddr_storage SocketAddress(int family, const char* text, std::uint16_t port) {
    sockaddr_storage address{};
    if (family == AF_INET6) {
        auto& v6 = reinterpret_cast<sockaddr_in6&>(address);
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(port);
        EXPECT_EQ(inet_pton(AF_INET6, text, &v6.sin6_addr), 1) << text;
    } else {
        auto& v4 = reinterpret_cast<sockaddr_in&>(address);
        v4.sin_family = AF_INET;
        v4.sin_port = htons(port);
        EXPECT_EQ(inet_pton(AF_INET, text, &v4.sin_addr), 1) << text;
    }
    return address;
}

socklen_t SocketAddressLength(int family) {
    return family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
}

int OpenRawSocket(int family, int protocol) {
    return socket(family, SOCK_RAW, protocol);
}
