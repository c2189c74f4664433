#include "net/receive.h"

#include "cli/console.h"

char replyBuffer[kReplyBufferSize];

int PostReceive(SOCKET socket, char* buffer, int bufferLength, sockaddr* source, int* sourceLength,
                WSAOVERLAPPED* overlapped) {
    WSABUF description;
    description.len = static_cast<ULONG>(bufferLength);
    description.buf = buffer;
    DWORD bytes = 0;
    DWORD flags = 0;
    if (WSARecvFrom(socket, &description, 1, &bytes, &flags, source, sourceLength, overlapped,
                    nullptr) == 0 ||
        WSAGetLastError() == WSA_IO_PENDING) {
        return 0;
    }
    PrintTo(stderr, "WSARecvFrom failed: %d\n", WSAGetLastError());
    return -1;
}
