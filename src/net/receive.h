// The overlapped receive that catches every reply.
#pragma once

#include "platform/platform.h"

constexpr int kReplyBufferSize = 65535;

// Every receive fills this buffer; the reply handling reads it.
extern char replyBuffer[kReplyBufferSize];

// Starts a receive whose completion signals overlapped->hEvent. 0 when it is
// running or already done, -1 after reporting the failure.
int PostReceive(SOCKET socket, char* buffer, int bufferLength, sockaddr* source, int* sourceLength,
                WSAOVERLAPPED* overlapped);
