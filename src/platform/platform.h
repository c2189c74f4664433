// The system interfaces the tool is written against: Windows Sockets 2 and a
// few Windows kernel services. Windows provides them itself; on Linux the
// project's own layer under platform/linux provides the same names.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#else
#include "platform/linux/kernel.h"
#include "platform/linux/winsock.h"
#endif
