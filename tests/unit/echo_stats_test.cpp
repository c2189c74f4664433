// Reply timing, the class of a reply and the statistics they add up to.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "run/echo_stats.h"

namespace {

struct ElapsedCase {
    DWORD sendTick;
    DWORD replyTick;
    int elapsedMs;
};

TEST(EchoStats, ElapsedIsTheSignedSpanAcrossTheTickWrap) {
    const ElapsedCase cases[] = {
        {100, 112, 12},
        {7, 7, 0},
        {0xFFFFFFF0, 0x10, 32},
        {0x10, 0xFFFFFFF0, -32},
        {112, 100, -12},
        {0, 0x7FFFFFFF, INT_MAX},
        {0x7FFFFFFF, 0, -INT_MAX},
    };
    for (const ElapsedCase& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.sendTick << " -> " << c.replyTick);
        EXPECT_EQ(ElapsedMs(c.sendTick, c.replyTick), c.elapsedMs);
    }
}

const char* ClassName(ReplyClass replyClass) {
    switch (replyClass) {
        case ReplyClass::UnderOneMs:
            return "UnderOneMs";
        case ReplyClass::InTime:
            return "InTime";
        case ReplyClass::Late:
            return "Late";
    }
    return "?";
}

struct ClassCase {
    int elapsedMs;
    int maxReplyMs;
    ReplyClass expected;
};

TEST(EchoStats, ClassifyReply) {
    const ClassCase cases[] = {
        {0, 500, ReplyClass::UnderOneMs},
        {0, 0, ReplyClass::UnderOneMs},
        {0, -1, ReplyClass::UnderOneMs},
        {1, 500, ReplyClass::InTime},
        {500, 500, ReplyClass::InTime},
        {501, 500, ReplyClass::Late},
        {1, 0, ReplyClass::Late},
        {1, -1, ReplyClass::Late},
        {-1, 500, ReplyClass::Late},
        {INT_MIN, INT_MAX, ReplyClass::Late},
        {INT_MAX, INT_MAX, ReplyClass::InTime},
    };
    for (const ClassCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.elapsedMs << " ms, limit " << c.maxReplyMs);
        EXPECT_STREQ(ClassName(ClassifyReply(c.elapsedMs, c.maxReplyMs)), ClassName(c.expected));
    }
}

struct RunCase {
    const char* name;
    int maxReplyMs;
    std::vector<int> elapsedMs;  // one measure per reply, in order
    int received;
    int lost;
    int minMs;
    int maxMs;
    int averageMs;
};

// Counts the replies of a run as the request loop does: classify, then count.
EchoStats CountRun(const RunCase& run) {
    EchoStats stats;
    for (const int elapsed : run.elapsedMs) {
        CountReply(stats, ClassifyReply(elapsed, run.maxReplyMs), elapsed);
    }
    return stats;
}

TEST(EchoStats, RepliesAddUpToTheStatistics) {
    const RunCase cases[] = {
        {"no reply", 500, {}, 0, 0, 0, 0, 0},
        {"none accepted, min stays 0", 500, {600, -5}, 0, 2, 0, 0, 0},
        {"one reply", 500, {12}, 1, 0, 12, 12, 12},
        {"min and max whatever the order", 500, {30, 12, 45, 20}, 4, 0, 12, 45, 26},
        {"a 0 ms reply pulls min to 0 and lowers the average", 500, {10, 0, 20}, 3, 0, 0, 20, 10},
        {"a 0 ms reply first keeps min at 0", 500, {0, 7}, 2, 0, 0, 7, 3},
        {"average truncates toward zero", 500, {10, 11, 11}, 3, 0, 10, 11, 10},
        {"late replies are lost and leave the times alone",
         100,
         {50, 150, 70, -3},
         2,
         2,
         50,
         70,
         60},
        {"-m 0 accepts only 0 ms replies", 0, {0, 1, 0, 5}, 2, 2, 0, 0, 0},
    };
    for (const RunCase& run : cases) {
        SCOPED_TRACE(run.name);
        const EchoStats stats = CountRun(run);
        EXPECT_EQ(stats.received, run.received);
        EXPECT_EQ(stats.lost, run.lost);
        EXPECT_EQ(stats.minMs, run.minMs);
        EXPECT_EQ(stats.maxMs, run.maxMs);
        EXPECT_EQ(AverageMs(stats), run.averageMs);
    }
}

TEST(EchoStats, PrintStatisticsExactText) {
    struct PrintCase {
        EchoStats stats;
        std::string printed;
    };
    const PrintCase cases[] = {
        {{}, "\n\nSent = 0, Rec = 0, Lost = 0\nMin = 0, Max = 0, AVG = 0\n"},
        {{4, 3, 1, 0, 21, 31.0}, "\n\nSent = 4, Rec = 3, Lost = 1\nMin = 0, Max = 21, AVG = 10\n"},
    };
    for (const PrintCase& c : cases) {
        testing::internal::CaptureStdout();
        PrintStatistics(c.stats);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.printed);
    }
}

}  // namespace
