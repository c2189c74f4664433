#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <string>
#include <vector>

#include "cli/settings.h"
#include "test_support.h"

namespace {

// The usage text as a user sees it, written out independently of usage.cpp.
std::string ExpectedUsage(const std::string& programName) {
    return "usage: " + programName +
           " [options] <host> \n"
           "        host        Remote machine to ping\n"
           "        options: \n"
           "            -a 4|6       Address family (default: AF_UNSPEC)\n"
           "            -i ttl       Time to live (default: 128) \n"
           "            -l bytes     Amount of data to send (default: 32) \n"
           "            -r           Record route (IPv4 only)\n";
}

// Every setting but the destination, readable in a failure message.
std::string Describe(const EchoSettings& s) {
    std::ostringstream text;
    text << "family=" << s.family << " protocol=" << s.protocol << " ttl=" << s.ttl
         << " count=" << s.count << " maxReplyMs=" << s.maxReplyMs << " dataSize=" << s.dataSize
         << " recvBufferSize=" << s.recvBufferSize << " recordRoute=" << s.recordRoute;
    return text.str();
}

constexpr int kNoDestination = -1;
constexpr const char* kProgramName = "./build/qping";

struct ParseCase {
    std::vector<std::string> arguments;  // what follows the program name
    bool accepted;
    EchoSettings expected;  // destinationName is checked by destinationIndex
    int destinationIndex;   // the argv entry destinationName must point at
};

// The program name is argv[0], so argument k of a case is argv[k + 1].
const ParseCase kCases[] = {
    {{}, true, {}, kNoDestination},
    {{"host"}, true, {}, 1},
    {{"-a", "4", "host"}, true, {.family = AF_INET}, 3},
    {{"-a", "6", "host"}, true, {.family = AF_INET6}, 3},
    {{"-A", "6", "host"}, true, {.family = AF_INET6}, 3},
    {{"/a", "6", "host"}, true, {.family = AF_INET6}, 3},
    {{"-a", "46", "host"}, true, {.family = AF_INET}, 3},
    {{"-a", "x", "host"}, false, {}, kNoDestination},
    {{"-a", "", "host"}, false, {}, kNoDestination},
    // The value of -i is the next argument, not the rest of "-i64".
    {{"-i64", "host"}, true, {.ttl = 0}, kNoDestination},
    {{"host", "-i"}, false, {}, 1},
    {{"-"}, false, {}, kNoDestination},
    {{"/"}, false, {}, kNoDestination},
    {{"/?"}, false, {}, kNoDestination},
    {{"-h"}, false, {}, kNoDestination},
    {{"-t", "5"}, false, {}, kNoDestination},
    {{""}, true, {}, 1},
    {{"a", "b", "c"}, true, {}, 3},
    {{"-c", "99999999999", "host"}, true, {.count = INT_MAX}, 3},
    {{"-c", "-99999999999", "host"}, true, {.count = INT_MIN}, 3},
    {{"-c", "abc", "host"}, true, {.count = 0}, 3},
    {{"-c", "-3", "host"}, true, {.count = -3}, 3},
    {{"-c", " +12x", "host"}, true, {.count = 12}, 3},
    {{"-count", "3", "host"}, true, {.count = 3}, 3},
    // A value is taken whatever it looks like.
    {{"-i", "-5", "host"}, true, {.ttl = -5}, 3},
    {{"-i", "host", "64"}, true, {.ttl = 0}, 3},
    {{"-l", "0", "-m", "-1", "host"}, true, {.maxReplyMs = -1, .dataSize = 0}, 5},
    {{"/L", "1000", "/M", "20", "host"}, true, {.maxReplyMs = 20, .dataSize = 1000}, 5},
    {{"-rx", "host"}, true, {.recordRoute = 1}, 2},
    {{"host", "-R"}, true, {.recordRoute = 1}, 1},
    // Whatever came before a rejected argument stays written.
    {{"-c", "7", "host", "-t", "5"}, false, {.count = 7}, 3},
    {{"-i", "9", "-r", "-a", "x", "host"}, false, {.ttl = 9, .recordRoute = 1}, kNoDestination},
    {{"-l", "16", "host", "-m"}, false, {.dataSize = 16}, 3},
};

// Runs the parser on one case's command line and checks all it did.
void ExpectParsed(const ParseCase& c) {
    std::vector<std::string> text{kProgramName};
    text.insert(text.end(), c.arguments.begin(), c.arguments.end());
    std::vector<char*> argv;
    std::string commandLine;
    for (std::string& argument : text) {
        argv.push_back(argument.data());
        commandLine += "'" + argument + "' ";
    }
    argv.push_back(nullptr);
    SCOPED_TRACE("command line: " + commandLine);

    settings = EchoSettings{};
    int result = -1;
    const PrintedText printed =
        CapturePrinted([&] { result = ParseOptions(static_cast<int>(text.size()), argv.data()); });

    EXPECT_EQ(result, c.accepted ? 1 : 0);
    EXPECT_EQ(printed.out, c.accepted ? "" : ExpectedUsage(kProgramName));
    EXPECT_EQ(printed.err, "");
    EXPECT_EQ(Describe(settings), Describe(c.expected));
    const char* expectedDestination =
        c.destinationIndex == kNoDestination ? nullptr : argv[c.destinationIndex];
    // The setting is the argument itself, not a copy of its text.
    EXPECT_EQ(static_cast<const void*>(settings.destinationName),
              static_cast<const void*>(expectedDestination));
}

TEST(ParseOptions, AcceptsOrRejectsEachCommandLineAndSetsWhatItSays) {
    for (const ParseCase& c : kCases) {
        ExpectParsed(c);
    }
    settings = EchoSettings{};
}

TEST(PrintUsage, WritesTheSevenLinesWithTheProgramNameToStandardOutput) {
    const char* programName = "C:\\tools\\qping.exe";
    const PrintedText printed = CapturePrinted([&] { PrintUsage(programName); });
    EXPECT_EQ(printed.out, ExpectedUsage(programName));
    EXPECT_EQ(printed.err, "");
}

}  // namespace
