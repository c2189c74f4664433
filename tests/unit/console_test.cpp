#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cli/console.h"
#include "test_support.h"

namespace {

TEST(PrintOut, FormatsToStandardOutputAndReturnsTheCount) {
    int written = 0;
    const PrintedText printed =
        CapturePrinted([&] { written = PrintOut("%s=%d %x|", "ttl", -7, 255u); });
    EXPECT_EQ(printed.out, "ttl=-7 ff|");
    EXPECT_EQ(printed.err, "");
    EXPECT_EQ(written, 10);
}

TEST(PrintTo, FormatsToStandardErrorAndReturnsTheCount) {
    int written = 0;
    const PrintedText printed =
        CapturePrinted([&] { written = PrintTo(stderr, "bind failed: %d\n", 10013); });
    EXPECT_EQ(printed.out, "");
    EXPECT_EQ(printed.err, "bind failed: 10013\n");
    EXPECT_EQ(written, 19);
}

TEST(PrintTo, WritesToTheStreamItIsGiven) {
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    int written = 0;
    const PrintedText printed = CapturePrinted([&] { written = PrintTo(stream, "%x", 0xabcu); });
    char text[16] = {};
    std::rewind(stream);
    const std::size_t length = std::fread(text, 1, sizeof text - 1, stream);
    std::fclose(stream);
    EXPECT_EQ(std::string(text, length), "abc");
    EXPECT_EQ(written, 3);
    EXPECT_EQ(printed.out, "");
    EXPECT_EQ(printed.err, "");
}

TEST(PrintableName, ShowsANullNameAsNullInParentheses) {
    EXPECT_STREQ(PrintableName(nullptr), "(null)");
    const char* name = "host.example";
    EXPECT_EQ(PrintableName(name), name);

    const PrintedText printed = CapturePrinted(
        [] { PrintTo(stderr, "Invalid address %s, failed\n", PrintableName(nullptr)); });
    EXPECT_EQ(printed.err, "Invalid address (null), failed\n");
}

}  // namespace
