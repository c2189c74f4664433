// Throughput of the two checksums a run computes before every send, at the
// default message (40 bytes), a typical MTU (1500) and the largest IPv6
// message (65494). ChecksumV6 prints two lines per call: run the benchmark
// with standard output to /dev/null and read the results from
// --benchmark_out.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "net/resolve.h"
#include "packet/echo_request.h"
#include "packet/send_checksum.h"
#include "platform/platform.h"

// The tool's socket call gives up the process's privileges once the socket is
// open; the benchmark opens a raw socket for every run, with the system's call.
#undef socket

namespace {

// A zero-filled echo request block of the given total length.
std::vector<std::uint64_t> RequestBlock(int length) {
    return std::vector<std::uint64_t>((static_cast<std::size_t>(length) + 7) / 8, 0);
}

void BM_InternetChecksum(benchmark::State& state) {
    const int length = static_cast<int>(state.range(0));
    std::vector<std::uint64_t> block = RequestBlock(length);
    auto* request = reinterpret_cast<EchoRequest*>(block.data());
    BuildEchoV4(request, length - kEchoHeaderLength);
    for (auto _ : state) {
        benchmark::DoNotOptimize(InternetChecksum(request, length));
    }
    state.SetBytesProcessed(state.iterations() * length);
}

// Needs a raw ICMPv6 socket (root) for the source-address query, which looks
// up the route to ::1 on every call, as a run does before every send.
void BM_ChecksumV6(benchmark::State& state) {
    const int length = static_cast<int>(state.range(0));
    const SOCKET rawSocket = socket(AF_INET6, SOCK_RAW, IPPROTO_ICMPV6);
    if (rawSocket == INVALID_SOCKET) {
        state.SkipWithError("no raw ICMPv6 socket (run as root)");
        return;
    }
    addrinfo* destination = LookupAddress("::1", "0", AF_INET6, 0, 0);
    if (destination == nullptr) {
        closesocket(rawSocket);
        state.SkipWithError("no address for ::1");
        return;
    }
    std::vector<std::uint64_t> block = RequestBlock(length);
    auto* request = reinterpret_cast<EchoRequest*>(block.data());
    BuildEchoV6(request, length - kEchoHeaderLength);
    for (auto _ : state) {
        benchmark::DoNotOptimize(ChecksumV6(rawSocket, request, length, destination));
    }
    state.SetBytesProcessed(state.iterations() * length);
    freeaddrinfo(destination);
    closesocket(rawSocket);
}

BENCHMARK(BM_InternetChecksum)->Arg(40)->Arg(1500)->Arg(kMaxChecksumV6Length);
BENCHMARK(BM_ChecksumV6)->Arg(40)->Arg(1500)->Arg(kMaxChecksumV6Length);

}  // namespace

BENCHMARK_MAIN();
