#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "packet/echo_request.h"
#include "reference_checksum.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

ChecksumBytes ChecksumOf(const Bytes& data) {
    return StoredBytes(InternetChecksum(data.data(), static_cast<int>(data.size())));
}

TEST(InternetChecksum, MatchesTheWorkedExampleOfRfc1071) {
    // RFC 1071, section 3: these words sum to ddf2, so the checksum is 220d.
    const Bytes example = {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
    EXPECT_EQ(ChecksumOf(example), (ChecksumBytes{0x22, 0x0d}));
    EXPECT_EQ(ReferenceChecksum(example), (ChecksumBytes{0x22, 0x0d}));
}

TEST(InternetChecksum, TakesALoneLastByteAsTheFirstByteOfAWord) {
    // 0x1234 + 0x5600 = 0x6834, whose complement is 0x97cb.
    EXPECT_EQ(ChecksumOf({0x12, 0x34, 0x56}), (ChecksumBytes{0x97, 0xcb}));
    EXPECT_EQ(ChecksumOf({0x01}), (ChecksumBytes{0xfe, 0xff}));
    EXPECT_EQ(ChecksumOf({}), (ChecksumBytes{0xff, 0xff}));
}

TEST(InternetChecksum, AgreesWithTheReferenceOnEvenAndOddLengths) {
    std::mt19937 generator(1071);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int length = 1; length <= 130; ++length) {
        Bytes data(length);
        for (std::uint8_t& b : data) {
            b = static_cast<std::uint8_t>(byte(generator));
        }
        ASSERT_EQ(ChecksumOf(data), ReferenceChecksum(data)) << "length " << length;
    }
}

TEST(InternetChecksum, OfAMessageHoldingItsOwnChecksumIsZero) {
    for (const int dataSize : {0, 32, 33}) {
        SCOPED_TRACE(testing::Message() << "dataSize " << dataSize);
        std::vector<std::uint16_t> words((8 + dataSize + 1) / 2, 0);
        auto* request = reinterpret_cast<EchoRequest*>(words.data());
        BuildEchoV4(request, dataSize);
        request->sequence = 0x8001;
        request->checksum = InternetChecksum(request, 8 + dataSize);
        EXPECT_EQ(InternetChecksum(request, 8 + dataSize), 0);
    }
}

TEST(InternetChecksum, SumsTheLargestMessageWithoutOverflow) {
    // 32767 words of ffff and a last byte ff: every carry must come back in.
    const Bytes odd(65535, 0xFF);
    EXPECT_EQ(ChecksumOf(odd), ReferenceChecksum(odd));
    EXPECT_EQ(ChecksumOf(odd), (ChecksumBytes{0x00, 0xff}));
    const Bytes even(65534, 0xFF);
    EXPECT_EQ(ChecksumOf(even), (ChecksumBytes{0x00, 0x00}));
}

}  // namespace
