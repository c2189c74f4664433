// Only our own echo reply, or an ICMP error quoting our request, may end the
// wait for an answer. A raw socket hands over whatever arrives, so every
// datagram is also hostile input: nothing may be read outside its bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datagram_builder.h"
#include "platform/platform.h"
#include "run/reply_match.h"
#include "run/route_report.h"

namespace {

using namespace datagram;

// The request in flight. A foreign identifier differs from it in one byte and
// a foreign sequence in the other, so that a partial compare shows.
constexpr std::uint16_t kIdentifier = 0x1234;
constexpr std::uint16_t kSequence = 0xBEEF;
constexpr std::uint16_t kForeignIdentifier = 0x1235;
constexpr std::uint16_t kForeignSequence = 0xBFEF;
constexpr EchoRequest kRequestV4{kIcmpEchoRequest, 0, 0, kIdentifier, kSequence};
constexpr EchoRequest kRequestV6{kIcmpV6EchoRequest, 0, 0, kIdentifier, kSequence};
constexpr int kDataSize = 32;

constexpr std::uint8_t kIcmpEchoReply = 0;
constexpr std::uint8_t kIcmpV6EchoReply = 129;
constexpr std::uint8_t kIcmpTimeExceeded = 11;
constexpr std::uint8_t kIcmpV6TimeExceeded = 3;
constexpr std::uint8_t kProtocolUdp = 17;

const EchoRequest& RequestFor(int family) {
    return family == AF_INET ? kRequestV4 : kRequestV6;
}

EchoRequest Echoed(int family, std::uint16_t identifier, std::uint16_t sequence) {
    EchoRequest echoed = RequestFor(family);
    echoed.identifier = identifier;
    echoed.sequence = sequence;
    return echoed;
}

Bytes ReplyV4(const EchoRequest& echoed = kRequestV4, std::uint8_t code = 0,
              int dataSize = kDataSize) {
    return Ipv4Icmp(EchoMessage(kIcmpEchoReply, echoed, dataSize, code));
}

Bytes ReplyV6(const EchoRequest& echoed = kRequestV6, std::uint8_t code = 0) {
    return EchoMessage(kIcmpV6EchoReply, echoed, kDataSize, code);
}

// What an error quotes: the IP header of the request and its first 8 bytes,
// the least a router sends back.
Bytes QuoteV4(const EchoRequest& quoted, const Bytes& options = {},
              std::uint8_t protocol = kProtocolIcmp) {
    const Bytes echo = EchoMessage(quoted.type, quoted, 0);
    return Concat(Ipv4Header(options, echo.size() + kDataSize, protocol), echo);
}

Bytes QuoteV6(const EchoRequest& quoted) {
    return Concat(Ipv6Header(kEchoHeaderLength + kDataSize), EchoMessage(quoted.type, quoted, 0));
}

// The ICMP error as the socket of the family delivers it: IPv4 with its
// header, ICMPv6 bare.
Bytes Error(int family, std::uint8_t type, std::uint8_t code, const Bytes& quote) {
    const Bytes message = ErrorMessage(type, code, quote);
    return family == AF_INET ? Ipv4Icmp(message) : message;
}

std::uint8_t TimeExceeded(int family) {
    return family == AF_INET ? kIcmpTimeExceeded : kIcmpV6TimeExceeded;
}

Bytes ErrorQuotingOurRequest(int family, std::uint8_t type, std::uint8_t code) {
    const Bytes quote = family == AF_INET ? QuoteV4(kRequestV4) : QuoteV6(kRequestV6);
    return Error(family, type, code, quote);
}

Bytes WithLastByteChanged(Bytes bytes) {
    bytes.back() ^= 0x01;
    return bytes;
}

std::vector<Bytes> NineAddresses() {
    std::vector<Bytes> addresses;
    for (std::uint8_t host = 1; host <= kMaxRecordedHops; ++host) {
        addresses.push_back({198, 51, 100, host});
    }
    return addresses;
}

// Classifies the bytes from a block of exactly their size, as received.
DatagramVerdict Classify(int family, const Bytes& received) {
    const Bytes arrived = Prefix(received, received.size());
    return ClassifyDatagram(family, arrived.data(), static_cast<int>(arrived.size()),
                            RequestFor(family));
}

const char* FamilyName(int family) {
    return family == AF_INET ? "IPv4" : "IPv6";
}

const char* KindName(DatagramKind kind) {
    switch (kind) {
        case DatagramKind::NotOurs:
            return "NotOurs";
        case DatagramKind::EchoReply:
            return "EchoReply";
        case DatagramKind::Error:
            return "Error";
    }
    return "?";
}

struct MatchCase {
    std::string name;
    int family;
    Bytes received;
    DatagramKind expected;
};

std::vector<MatchCase> MatchCases() {
    const EchoRequest foreignIdV4 = Echoed(AF_INET, kForeignIdentifier, kSequence);
    const EchoRequest foreignSeqV4 = Echoed(AF_INET, kIdentifier, kForeignSequence);
    const EchoRequest foreignIdV6 = Echoed(AF_INET6, kForeignIdentifier, kSequence);
    const EchoRequest foreignSeqV6 = Echoed(AF_INET6, kIdentifier, kForeignSequence);
    const Bytes nopOptions{kNoOperation, kNoOperation, kNoOperation, kEndOfOptions};
    const Bytes recordRoute = RecordRoute(40, NineAddresses(), kMaxRecordedHops);
    return {
        {"our reply v4", AF_INET, ReplyV4(), DatagramKind::EchoReply},
        {"our reply v6", AF_INET6, ReplyV6(), DatagramKind::EchoReply},
        {"our reply v4, odd length", AF_INET, ReplyV4(kRequestV4, 0, 33), DatagramKind::EchoReply},
        {"our reply v4 after a 24-byte header", AF_INET,
         Ipv4Icmp(EchoMessage(kIcmpEchoReply, kRequestV4, kDataSize), nopOptions),
         DatagramKind::EchoReply},
        {"our reply v4 after a 60-byte header", AF_INET,
         Ipv4Icmp(EchoMessage(kIcmpEchoReply, kRequestV4, kDataSize), recordRoute),
         DatagramKind::EchoReply},
        {"own request seen on loopback v4", AF_INET,
         Ipv4Icmp(EchoMessage(kIcmpEchoRequest, kRequestV4, kDataSize)), DatagramKind::NotOurs},
        {"own request seen on loopback v6", AF_INET6,
         EchoMessage(kIcmpV6EchoRequest, kRequestV6, kDataSize), DatagramKind::NotOurs},
        {"reply v4, foreign identifier", AF_INET, ReplyV4(foreignIdV4), DatagramKind::NotOurs},
        {"reply v6, foreign identifier", AF_INET6, ReplyV6(foreignIdV6), DatagramKind::NotOurs},
        {"reply v4, foreign sequence", AF_INET, ReplyV4(foreignSeqV4), DatagramKind::NotOurs},
        {"reply v6, foreign sequence", AF_INET6, ReplyV6(foreignSeqV6), DatagramKind::NotOurs},
        {"reply v4, bad checksum", AF_INET, WithLastByteChanged(ReplyV4()), DatagramKind::NotOurs},
        {"reply v4, code 1", AF_INET, ReplyV4(kRequestV4, 1), DatagramKind::NotOurs},
        {"reply v6, code 1", AF_INET6, ReplyV6(kRequestV6, 1), DatagramKind::NotOurs},
        {"reply v4 in a UDP datagram", AF_INET,
         Concat(Ipv4Header({}, kEchoHeaderLength, kProtocolUdp), ReplyV4(kRequestV4, 0, 0)),
         DatagramKind::NotOurs},
        {"error v4 quoting a foreign identifier", AF_INET,
         Error(AF_INET, kIcmpTimeExceeded, 0, QuoteV4(foreignIdV4)), DatagramKind::NotOurs},
        {"error v6 quoting a foreign identifier", AF_INET6,
         Error(AF_INET6, kIcmpV6TimeExceeded, 0, QuoteV6(foreignIdV6)), DatagramKind::NotOurs},
        {"error v4 quoting a foreign sequence", AF_INET,
         Error(AF_INET, kIcmpTimeExceeded, 0, QuoteV4(foreignSeqV4)), DatagramKind::NotOurs},
        {"error v6 quoting a foreign sequence", AF_INET6,
         Error(AF_INET6, kIcmpV6TimeExceeded, 0, QuoteV6(foreignSeqV6)), DatagramKind::NotOurs},
        {"error v4 quoting an echo reply", AF_INET,
         Error(AF_INET, kIcmpTimeExceeded, 0,
               QuoteV4({kIcmpEchoReply, 0, 0, kIdentifier, kSequence})),
         DatagramKind::NotOurs},
        {"error v4 quoting a 24-byte header", AF_INET,
         Error(AF_INET, kIcmpTimeExceeded, 0, QuoteV4(kRequestV4, nopOptions)),
         DatagramKind::Error},
        {"error v4 quoting a 60-byte header", AF_INET,
         Error(AF_INET, kIcmpTimeExceeded, 0, QuoteV4(kRequestV4, recordRoute)),
         DatagramKind::Error},
        {"error v4 quoting a UDP datagram", AF_INET,
         Error(AF_INET, kIcmpTimeExceeded, 0, QuoteV4(kRequestV4, {}, kProtocolUdp)),
         DatagramKind::NotOurs},
        {"error v4, bad checksum", AF_INET,
         WithLastByteChanged(ErrorQuotingOurRequest(AF_INET, kIcmpTimeExceeded, 0)),
         DatagramKind::NotOurs},
    };
}

TEST(ReplyMatch, OnlyOurReplyOrAnErrorAboutOurRequestCounts) {
    for (const MatchCase& match : MatchCases()) {
        SCOPED_TRACE(match.name);
        EXPECT_STREQ(KindName(Classify(match.family, match.received).kind),
                     KindName(match.expected));
    }
}

struct ErrorCase {
    int family;
    std::uint8_t type;
    std::uint8_t code;
    const char* reason;  // null: not an error we report
};

constexpr const char* kTtlExpired = "TTL expired in transit.";
constexpr const char* kNet = "Destination net unreachable.";
constexpr const char* kHost = "Destination host unreachable.";
constexpr const char* kProtocol = "Destination protocol unreachable.";
constexpr const char* kPort = "Destination port unreachable.";
constexpr const char* kProhibited = "Communication administratively prohibited.";
constexpr const char* kTooBig = "Packet too big.";
constexpr const char* kUnreachable = "Destination unreachable.";
constexpr const char* kParameter = "Parameter problem.";

constexpr ErrorCase kErrorCases[] = {
    {AF_INET, 11, 0, kTtlExpired},  {AF_INET, 11, 1, kTtlExpired},   {AF_INET, 3, 0, kNet},
    {AF_INET, 3, 1, kHost},         {AF_INET, 3, 2, kProtocol},      {AF_INET, 3, 3, kPort},
    {AF_INET, 3, 4, kTooBig},       {AF_INET, 3, 9, kProhibited},    {AF_INET, 3, 10, kProhibited},
    {AF_INET, 3, 13, kProhibited},  {AF_INET, 3, 5, kUnreachable},   {AF_INET, 3, 6, kUnreachable},
    {AF_INET, 3, 15, kUnreachable}, {AF_INET, 3, 255, kUnreachable}, {AF_INET, 12, 0, kParameter},
    {AF_INET, 12, 2, kParameter},   {AF_INET, 4, 0, nullptr},        {AF_INET, 5, 1, nullptr},
    {AF_INET6, 3, 0, kTtlExpired},  {AF_INET6, 3, 1, kTtlExpired},   {AF_INET6, 1, 0, kNet},
    {AF_INET6, 1, 3, kHost},        {AF_INET6, 1, 4, kPort},         {AF_INET6, 1, 1, kProhibited},
    {AF_INET6, 2, 0, kTooBig},      {AF_INET6, 1, 2, kUnreachable},  {AF_INET6, 1, 5, kUnreachable},
    {AF_INET6, 1, 6, kUnreachable}, {AF_INET6, 4, 0, kParameter},    {AF_INET6, 4, 1, kParameter},
    {AF_INET6, 137, 0, nullptr},    {AF_INET6, 12, 0, nullptr},
};

TEST(ReplyMatch, ErrorAboutOurRequestGivesItsReason) {
    for (const ErrorCase& error : kErrorCases) {
        SCOPED_TRACE(testing::Message() << FamilyName(error.family) << " " << int{error.type} << "/"
                                        << int{error.code});
        const DatagramVerdict verdict =
            Classify(error.family, ErrorQuotingOurRequest(error.family, error.type, error.code));
        const DatagramKind expected =
            error.reason != nullptr ? DatagramKind::Error : DatagramKind::NotOurs;
        EXPECT_STREQ(KindName(verdict.kind), KindName(expected));
        EXPECT_STREQ(verdict.reason, error.reason);
    }
}

// An error is ours only when its quote holds the whole quoted IP header and
// the echo header after it; every shorter quote is passed over.
TEST(ReplyMatch, TruncatedQuoteIsNotOurs) {
    for (const int family : {AF_INET, AF_INET6}) {
        const Bytes quote = family == AF_INET ? QuoteV4(kRequestV4) : QuoteV6(kRequestV6);
        for (std::size_t length = 0; length <= quote.size(); ++length) {
            SCOPED_TRACE(testing::Message() << FamilyName(family) << ", quote of " << length);
            const Bytes received = Error(family, TimeExceeded(family), 0, Prefix(quote, length));
            const DatagramKind expected =
                length == quote.size() ? DatagramKind::Error : DatagramKind::NotOurs;
            EXPECT_STREQ(KindName(Classify(family, received).kind), KindName(expected));
        }
    }
}

Bytes WithFirstByte(Bytes bytes, std::uint8_t first) {
    bytes[0] = first;
    return bytes;
}

struct HostileCase {
    std::string name;
    int family;
    Bytes received;
    DatagramKind expected;
    int hops;  // what the route report reads from the same bytes
};

std::vector<HostileCase> HostileCases() {
    const Bytes withRoute = Ipv4Icmp(EchoMessage(kIcmpEchoReply, kRequestV4, kDataSize),
                                     RecordRoute(255, NineAddresses(), kMaxRecordedHops));
    std::vector<HostileCase> cases{
        {"header length 60, record-route pointer 255", AF_INET, withRoute, DatagramKind::EchoReply,
         kMaxRecordedHops},
        {"record-route option length 0", AF_INET,
         Ipv4Icmp(EchoMessage(kIcmpEchoReply, kRequestV4, kDataSize),
                  {kRecordRoute, 0, 8, 198, 51, 100, 1}),
         DatagramKind::EchoReply, 0},
        {"record-route option length 1", AF_INET,
         Ipv4Icmp(EchoMessage(kIcmpEchoReply, kRequestV4, kDataSize),
                  {kRecordRoute, 1, 8, 198, 51, 100, 1}),
         DatagramKind::EchoReply, 0},
        {"record-route type in the last header byte", AF_INET,
         Ipv4Icmp(EchoMessage(kIcmpEchoReply, kRequestV4, kDataSize),
                  {kNoOperation, kNoOperation, kNoOperation, kRecordRoute}),
         DatagramKind::EchoReply, 0},
        {"header length 60, 28 bytes arrived", AF_INET,
         WithFirstByte(ReplyV4(kRequestV4, 0, 0), 0x4F), DatagramKind::NotOurs, 0},
        {"header length 20, nothing after it", AF_INET, Ipv4Header({}, 0), DatagramKind::NotOurs,
         0},
        {"version 6 on an IPv4 socket", AF_INET, WithFirstByte(ReplyV4(), 0x65),
         DatagramKind::NotOurs, 0},
        {"version 0", AF_INET, WithFirstByte(withRoute, 0x0F), DatagramKind::NotOurs, 0},
    };
    for (std::uint8_t words = 0; words < 5; ++words) {
        cases.push_back({"header length " + std::to_string(words * 4), AF_INET,
                         WithFirstByte(ReplyV4(), 0x40 | words), DatagramKind::NotOurs, 0});
    }
    // Every cut of a 60-byte header: shorter than any header, then shorter
    // than the header it announces.
    for (std::size_t length = 0; length < 60; ++length) {
        cases.push_back({"cut to " + std::to_string(length) + " bytes", AF_INET,
                         Prefix(withRoute, length), DatagramKind::NotOurs, 0});
    }
    for (std::size_t length = 4; length < kEchoHeaderLength; ++length) {
        cases.push_back({"ICMP message of " + std::to_string(length) + " bytes", AF_INET,
                         Ipv4Icmp(Prefix(EchoMessage(kIcmpEchoReply, kRequestV4, 0), length)),
                         DatagramKind::NotOurs, 0});
    }
    for (std::size_t length = 0; length < kEchoHeaderLength; ++length) {
        cases.push_back({"ICMPv6 reply of " + std::to_string(length) + " bytes", AF_INET6,
                         Prefix(ReplyV6(), length), DatagramKind::NotOurs, 0});
        cases.push_back({"ICMPv6 error of " + std::to_string(length) + " bytes", AF_INET6,
                         Prefix(ErrorQuotingOurRequest(AF_INET6, kIcmpV6TimeExceeded, 0), length),
                         DatagramKind::NotOurs, 0});
    }
    return cases;
}

TEST(HostileDatagram, NothingReadOutsideWhatArrivedNorMisreported) {
    for (const HostileCase& hostile : HostileCases()) {
        SCOPED_TRACE(hostile.name);
        EXPECT_STREQ(KindName(Classify(hostile.family, hostile.received).kind),
                     KindName(hostile.expected));
        const Bytes arrived = Prefix(hostile.received, hostile.received.size());
        EXPECT_EQ(DecodeRoute(arrived.data(), static_cast<int>(arrived.size())).hops, hostile.hops);
    }
}

}  // namespace
