// The system interfaces the tool is written against: Windows Sockets 2 and a
// few Windows kernel services. Windows provides them itself, all but the tick
// counter (see below); on Linux the project's own layer under platform/linux
// provides the same names.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include "platform/windows/tick_count.h"
// The code reads the tick counter under its Windows name, but Windows' own
// GetTickCount is too coarse for reply times. Defined after <windows.h> has
// declared the real one, the macro sends every later call to the finer tick.
#define GetTickCount FineTickCount
#else
#include "platform/linux/kernel.h"
#include "platform/linux/winsock.h"
#endif
