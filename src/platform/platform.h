// The system interfaces the tool is written against: Windows Sockets 2 and a
// few Windows kernel services. Windows provides them itself; on Linux the
// project's own layer under platform/linux provides the same names.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include "platform/windows/tick_count.h"
// The code reads the tick counter under its Windows name; on Windows it must
// come from the finer counter, and a macro defined after <windows.h> has
// declared the real GetTickCount sends every later call there.
#define GetTickCount FineTickCount
#else
#include "platform/linux/kernel.h"
#include "platform/linux/winsock.h"
#endif
