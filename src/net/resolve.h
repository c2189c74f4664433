// Forward name lookup and numeric display of socket addresses.
#pragma once

#include "platform/platform.h"

// The lookup's result list (the caller frees it with freeaddrinfo), or null
// after reporting the failure. A null name asks for the wildcard address.
addrinfo* LookupAddress(const char* name, const char* service, int family, int socketType,
                        int protocol);

// Prints the address numerically, with no line end; 0, or the lookup
// routine's error code after reporting it.
int ShowAddress(const sockaddr* address, int addressLength);
