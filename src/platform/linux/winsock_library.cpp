#include <cerrno>

#include "platform/linux/error_codes.h"
#include "platform/linux/winsock.h"

// Nothing to set up or release: the Linux socket API needs no start-up.
int WSAStartup(WORD version, WSADATA* data) {
    if (data == nullptr) {
        return WSAEFAULT;
    }
    *data = WSADATA{};
    data->wVersion = version;
    data->wHighVersion = MAKEWORD(2, 2);
    return 0;
}

int WSACleanup() {
    return 0;
}

int WSAGetLastError() {
    return WinsockErrorFromErrno(errno);
}
