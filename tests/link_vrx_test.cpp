// VRX 2.0 framing: address pairs, request frames and the byte-at-a-time answer parse.
#include "link/ResultCodes.h"
#include "link/VrxFraming.h"
#include "tests/support/HexBytes.h"

#include <gtest/gtest.h>

namespace {

TEST(VrxAddress, PairsAndTheirInverse) {
    struct Case {
        int address;
        const char* pair;
    };
    const Case cases[] = {
        {1, "02 21"}, {15, "02 2F"}, {16, "07 21"}, {30, "07 2F"}, {31, "08 21"},
        {225, "14 2F"}, {0, "00 00"}, {226, "00 00"}, {254, "00 00"},
    };
    for (const auto& c : cases) {
        const VrxAddressPair p = VrxAddressFor(c.address);
        const uint8_t bytes[] = {p.group, p.address};
        EXPECT_EQ(ToHex(bytes, 2), c.pair) << c.address;
    }
    for (int a = 1; a <= 225; ++a) {
        const VrxAddressPair p = VrxAddressFor(a);
        EXPECT_EQ(VrxBusAddress(p.group, p.address), a);
    }
    EXPECT_EQ(VrxBusAddress(0, 0), 0);
    EXPECT_EQ(VrxBusAddress(0x15, 0x21), 0);
    EXPECT_EQ(VrxBusAddress(0x02, 0x30), 0);
}

TEST(VrxRequest, Frames) {
    struct Case {
        const char* request;
        const char* frame;
    };
    const Case cases[] = {
        {"01 31", "7F 02 21 5E 31 4E 03 03 53"},
        {"10 31", "7F 07 21 5E 31 4E 03 03 53"},   // G stays out of the checksum
        {"00 31", "7F 00 00 7F 31 4E 03 03 72"},   // no pair for address 0
        {"01", "7F 02 21 5E 03 03 62"},
    };
    for (const auto& c : cases) EXPECT_EQ(ToHex(BuildVrxRequest(FromHex(c.request))), c.frame) << c.request;

    EXPECT_TRUE(BuildVrxRequest(std::vector<uint8_t>{}).empty());
    std::vector<uint8_t> longest(1023, '5');
    longest[0] = 1;
    EXPECT_EQ(BuildVrxRequest(longest).size(), 2u * 1023 + 5);
    std::vector<uint8_t> out(5000);
    longest.push_back('5');
    EXPECT_EQ(BuildVrxRequest(longest.data(), longest.size(), out.data()), 0u);
}

struct Parsed {
    int error;
    int answerLength;
    int rawCount;
    std::vector<uint8_t> stored;
};

Parsed Parse(const std::vector<uint8_t>& wire, int capacity = 256) {
    std::vector<uint8_t> buffer(capacity + 1);
    VrxParser p(buffer.data(), capacity);
    size_t i = 0;
    while (p.WantsByte()) {
        if (i == wire.size()) p.NoByte();
        else p.Push(wire[i++]);
    }
    return {p.Error(), p.AnswerLength(), p.RawCount(), {buffer.begin(), buffer.begin() + p.Stored()}};
}

TEST(VrxParser, Answers) {
    struct Case {
        const char* wire;
        int error;
        int answerLength;
        int rawCount;
        const char* stored;
    };
    const Case cases[] = {
        {"06", 0, 0, 1, ""},                                    // a lone ACK
        {"15", 0, 0, 1, ""},                                    // NAK
        {"7F 7F 18", 0, 0, 3, ""},                              // leads skipped, then CAN
        {"", kNoAnswer, 0, 0, ""},
        {"7F", kNoAnswer, 0, 1, ""},                            // skipped bytes do not count as stored
        {"02 31 4E 03 03 72", 0, 2, 6, "02 31 03"},             // start, one character, ETX
        {"02 31 4E 03 03 73", kBadCrc, 2, 6, "02 31 03"},       // checksum off by one
        {"02 31 4F 03 03 72", kBadVrxByte, 2, 6, "02 31 03"},   // partner is not the complement
        {"02 31 03 03 03 72", kBadVrxByte, 2, 6, "02 31 03"},   // 03 as partner of a character
        {"02 03 11 43", kBadVrxByte, 1, 4, "02 03"},             // bad partner of the ETX
        {"02 03 7C 43", 0, 1, 4, "02 03"},                      // its complement is a partner too
        {"31 4E 03 03 72", kBadVrxByte, 1, 5, "31 03"},         // bad start kept as data
        {"02 31 4E", kNoFrameEnd, 0, 3, "02 31"},               // no ETX
        {"02 31 4E 03 03", kNoFrameEnd, 0, 5, "02 31 03"},      // no checksum
    };
    for (const auto& c : cases) {
        const Parsed p = Parse(FromHex(c.wire));
        EXPECT_EQ(p.error, c.error) << c.wire;
        EXPECT_EQ(p.answerLength, c.answerLength) << c.wire;
        EXPECT_EQ(p.rawCount, c.rawCount) << c.wire;
        EXPECT_EQ(ToHex(p.stored), c.stored) << c.wire;
    }
}

TEST(VrxParser, ReadsWhatTheBuildersWrite) {
    const std::vector<uint8_t> data = {'9', '1', '4', '5', '0', '0', '1'};
    Parsed p = Parse(BuildVrxAnswer(0x02, data));
    EXPECT_EQ(p.error, 0);
    EXPECT_EQ(p.answerLength, 8);
    EXPECT_EQ(std::vector<uint8_t>(p.stored.begin() + 1, p.stored.begin() + 8), data);

    // A request parses as well: G as start byte, the address character as first data.
    p = Parse(BuildVrxRequest(FromHex("10 31 32")));
    EXPECT_EQ(p.error, 0);
    EXPECT_EQ(ToHex(p.stored), "07 21 31 32 03");
    EXPECT_EQ(VrxBusAddress(p.stored[0], p.stored[1]), 16);
}

TEST(VrxParser, StopsWhenTheBufferIsFull) {
    const std::vector<uint8_t> wire = BuildVrxAnswer(0x02, std::vector<uint8_t>(10, 'A'));
    EXPECT_EQ(Parse(wire, 13).error, 0);  // start + 10 + ETX = 12 stored
    const Parsed p = Parse(wire, 12);
    EXPECT_EQ(p.error, kReceiverOverflow);
    EXPECT_EQ(p.stored.size(), 11u);
}

}  // namespace
