#include "run/echo_stats.h"

#include <algorithm>
#include <cstdint>

#include "cli/console.h"

int ElapsedMs(DWORD sendTick, DWORD replyTick) {
    return static_cast<int>(static_cast<std::uint32_t>(replyTick - sendTick));
}

ReplyClass ClassifyReply(int elapsedMs, int maxReplyMs) {
    if (elapsedMs == 0) {
        return ReplyClass::UnderOneMs;
    }
    if (elapsedMs > 0 && elapsedMs <= maxReplyMs) {
        return ReplyClass::InTime;
    }
    return ReplyClass::Late;
}

void CountReply(EchoStats& stats, ReplyClass replyClass, int elapsedMs) {
    if (replyClass == ReplyClass::Late) {
        stats.lost += 1;
        return;
    }
    const int countedMs = replyClass == ReplyClass::UnderOneMs ? 0 : elapsedMs;
    const bool first = stats.received == 0;
    stats.minMs = first ? countedMs : std::min(stats.minMs, countedMs);
    stats.maxMs = first ? countedMs : std::max(stats.maxMs, countedMs);
    stats.totalMs += countedMs;
    stats.received += 1;
}

int AverageMs(const EchoStats& stats) {
    if (stats.totalMs == 0) {
        return 0;
    }
    return static_cast<int>(stats.totalMs / stats.received);
}

void PrintStatistics(const EchoStats& stats) {
    PrintOut("\n\nSent = %d, Rec = %d, Lost = %d\nMin = %d, Max = %d, AVG = %d\n", stats.sent,
             stats.received, stats.lost, stats.minMs, stats.maxMs, AverageMs(stats));
}
