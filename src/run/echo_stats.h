// Reply timing and the statistics of a run.
#pragma once

#include "platform/platform.h"

enum class ReplyClass {
    UnderOneMs,  // measured as 0 ms: accepted, counts as 0 for the minimum
    InTime,      // 1 ms up to the limit: accepted
    Late,        // above the limit, or a negative measure: lost
};

struct EchoStats {
    int sent = 0;
    int received = 0;
    int lost = 0;
    int minMs = 0;
    int maxMs = 0;
    double totalMs = 0;
};

// Milliseconds from send to reply as a 32-bit signed difference, so that a
// tick counter wrap between the two still gives the right span.
int ElapsedMs(DWORD sendTick, DWORD replyTick);

ReplyClass ClassifyReply(int elapsedMs, int maxReplyMs);

// Counts an echo reply of the given class and time.
void CountReply(EchoStats& stats, ReplyClass replyClass, int elapsedMs);

// Average over accepted replies, truncated toward zero; 0 without any.
int AverageMs(const EchoStats& stats);

// Prints the statistics block.
void PrintStatistics(const EchoStats& stats);
