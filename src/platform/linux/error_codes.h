// Translation of Linux error numbers into the numbering Windows programs
// report, so that a failure reads the same on every platform.
#pragma once

#include "platform/linux/types.h"

// Winsock code for an errno value. EINPROGRESS means a started overlapped
// operation (WSA_IO_PENDING), EBUSY one not finished yet (WSA_IO_INCOMPLETE),
// ECANCELED one ended by closing its socket (WSA_OPERATION_ABORTED). Unmapped values
// give WSASYSCALLFAILURE (10107).
int WinsockErrorFromErrno(int error);

// Winsock code for a getaddrinfo or getnameinfo result (EAI_*); EAI_SYSTEM
// takes the code of the errno given. Unmapped values give WSANO_RECOVERY
// (11003), Winsock's "non-recoverable lookup failure".
int WinsockErrorFromLookup(int result, int error);

// Windows system error code for an errno value of a kernel-service call.
// Unmapped values give ERROR_GEN_FAILURE (31).
DWORD SystemErrorFromErrno(int error);
