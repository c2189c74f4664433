#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "cli/settings.h"
#include "packet/echo_request.h"

namespace {

constexpr int kGuardBytes = 16;
constexpr std::uint8_t kGuard = 0xA5;

// A zero-filled request block as the run allocates it, followed by guard
// bytes that nothing may touch.
struct RequestBlock {
    explicit RequestBlock(int dataSize) : bytes(8 + dataSize + kGuardBytes, 0), dataSize(dataSize) {
        std::memset(bytes.data() + 8 + dataSize, kGuard, kGuardBytes);
    }
    EchoRequest* request() {
        return reinterpret_cast<EchoRequest*>(bytes.data());
    }
    std::uint16_t WordAt(int offset) const {
        std::uint16_t word;
        std::memcpy(&word, bytes.data() + offset, sizeof word);
        return word;
    }
    std::vector<std::uint8_t> bytes;
    int dataSize;
};

struct BuildCase {
    bool v6;
    int dataSize;
    std::uint8_t type;
    std::uint8_t fill;
};

const BuildCase kBuildCases[] = {
    {false, 0, 8, 0x45},  {false, 32, 8, 0x45},  {false, 33, 8, 0x45},
    {true, 0, 128, 0x23}, {true, 32, 128, 0x23}, {true, 7, 128, 0x23},
};

TEST(BuildEcho, WritesHeaderAndDataOfEitherFamilyAndNothingBeyond) {
    for (const BuildCase& c : kBuildCases) {
        SCOPED_TRACE(testing::Message() << (c.v6 ? "IPv6" : "IPv4") << " dataSize " << c.dataSize);
        RequestBlock block(c.dataSize);
        if (c.v6) {
            EXPECT_EQ(BuildEchoV6(block.request(), c.dataSize), 8);
        } else {
            BuildEchoV4(block.request(), c.dataSize);
        }
        EXPECT_EQ(block.bytes[0], c.type);
        EXPECT_EQ(block.bytes[1], 0);
        EXPECT_EQ(block.WordAt(2), 0) << "checksum";
        // Host byte order: the peer only echoes the identifier back.
        EXPECT_EQ(block.WordAt(4), static_cast<std::uint16_t>(getpid())) << "identifier";
        EXPECT_EQ(block.WordAt(6), 0) << "sequence";
        for (int i = 0; i < c.dataSize; ++i) {
            ASSERT_EQ(block.bytes[8 + i], c.fill) << "data byte " << i;
        }
        for (int i = 0; i < kGuardBytes; ++i) {
            ASSERT_EQ(block.bytes[8 + c.dataSize + i], kGuard) << "written past the request";
        }
    }
}

class StampSequenceTest : public testing::Test {
protected:
    void SetUp() override {
        settings = EchoSettings{};
        BuildEchoV4(block.request(), block.dataSize);
    }
    // A sequence half a wrap away from the tick count, which no stamp taken
    // now can hold; before is the request as it is then.
    void MarkUnstamped() {
        block.request()->sequence = static_cast<std::uint16_t>(GetTickCount() + 0x8000);
        before = block.bytes;
    }
    void TearDown() override {
        settings = EchoSettings{};
    }
    RequestBlock block{32};
    std::vector<std::uint8_t> before;
};

TEST_F(StampSequenceTest, WritesTheLow16BitsOfTheTickCountForAnEchoFamily) {
    for (const int family : {AF_INET, AF_INET6}) {
        SCOPED_TRACE(testing::Message() << "family " << family);
        settings.family = family;
        MarkUnstamped();
        const DWORD first = GetTickCount();
        StampSequence(block.request());
        const DWORD last = GetTickCount();

        // The stamp lies between the two readings, also across a 16-bit wrap.
        const std::uint16_t stamp = block.request()->sequence;
        EXPECT_LE(static_cast<std::uint16_t>(stamp - static_cast<std::uint16_t>(first)),
                  static_cast<std::uint16_t>(last - first));
        std::vector<std::uint8_t> expected = before;
        std::memcpy(expected.data() + 6, &stamp, sizeof stamp);
        EXPECT_EQ(block.bytes, expected) << "only the sequence field may change";
    }
}

TEST_F(StampSequenceTest, LeavesTheRequestAloneForAnyOtherFamily) {
    for (const int family : {AF_UNSPEC, AF_UNIX, -1}) {
        SCOPED_TRACE(testing::Message() << "family " << family);
        settings.family = family;
        MarkUnstamped();
        StampSequence(block.request());
        EXPECT_EQ(block.bytes, before);
    }
}

}  // namespace
