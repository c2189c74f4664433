#include "cli/console.h"
#include "cli/settings.h"

void PrintUsage(const char* programName) {
    PrintOut("usage: %s [options] <host> \n", PrintableName(programName));
    PrintOut("        host        Remote machine to ping\n");
    PrintOut("        options: \n");
    PrintOut("            -a 4|6       Address family (default: AF_UNSPEC)\n");
    PrintOut("            -i ttl       Time to live (default: 128) \n");
    PrintOut("            -l bytes     Amount of data to send (default: 32) \n");
    PrintOut("            -r           Record route (IPv4 only)\n");
}
