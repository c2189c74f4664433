// The run's settings: built-in defaults, changed by the command line.
#pragma once

#include "platform/platform.h"

struct EchoSettings {
    int family = AF_UNSPEC;                 // address family; the destination's after lookup
    int protocol = IPPROTO_ICMP;            // protocol of the raw socket
    int ttl = 128;                          // IPv4 time to live or IPv6 hop limit
    int count = 4;                          // echo requests to send
    int maxReplyMs = 500;                   // longest reply time that counts as a reply
    int dataSize = 32;                      // data bytes after the 8-byte echo header
    int recvBufferSize = 65535;             // length of the reply buffer
    int recordRoute = 0;                    // 1: ask for the IPv4 record-route option
    const char* destinationName = nullptr;  // as typed, pointing into argv
};

// The process-wide settings that every part of the tool reads.
extern EchoSettings settings;

// Fills settings from the argument vector. Returns 1 when the command line is
// accepted, 0 when it was rejected and the usage text has been printed.
int ParseOptions(int argc, char** argv);

// Prints the usage text to standard output, naming the program as given.
void PrintUsage(const char* programName);
