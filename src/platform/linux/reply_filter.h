// Kernel-side filtering of a raw ICMP or ICMPv6 socket down to the datagrams
// the run can use. A raw socket otherwise wakes the tool for every ICMP
// datagram the host receives, such as the traffic of other ping programs.
#pragma once

// Lets through only echo replies carrying this process's identifier and the
// errors (unreachable, time exceeded, parameter problem; for IPv6 also packet
// too big) that quote an echo request carrying it. The identifier is the low
// 16 bits of the process id, as the echo request stores it, in host byte
// order. The tool checks every datagram again itself, so this only saves
// work: it drops nothing the tool would show.
// 0, or -1 with errno set (EAFNOSUPPORT for a family other than AF_INET or
// AF_INET6); on failure the socket may be left with only the type filter.
int InstallReplyFilter(int socket, int family);
