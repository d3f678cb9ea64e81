// The Telnet / RFC 2217 codec as tables: received streams split into data and commands
// (IAC doubling, sequences cut across reads, subnegotiations), the answers to the far end's
// option requests, the converter commands byte by byte, its replies, and the port names.
#include <gtest/gtest.h>

#include "link/LineFactory.h"
#include "link/NetSocket.h"
#include "link/TelnetCodec.h"
#include "tests/support/HexBytes.h"

namespace {

using namespace telnet;

std::string EventText(const TelnetEvent& e) {
    const char* verbs[] = {"WILL", "WONT", "DO", "DONT"};
    if (e.verb == kSb) return "SB " + std::to_string(e.option) + ": " + ToHex(e.payload);
    return std::string(verbs[e.verb - kWill]) + " " + std::to_string(e.option);
}

TEST(TelnetDecoder, SplitsDataFromCommandsAcrossReads) {
    struct Row {
        const char* name;
        std::vector<const char*> reads;
        const char* data;
        std::vector<std::string> events;
    } rows[] = {
        {"plain frame", {"01 00 00 20 00 C0"}, "01 00 00 20 00 C0", {}},
        {"doubled IAC is one data byte", {"01 FF FF 02"}, "01 FF 02", {}},
        {"doubled IAC cut between reads", {"01 FF", "FF 02"}, "01 FF 02", {}},
        {"option requests", {"FF FB 03 FF FD 2C"}, "", {"WILL 3", "DO 44"}},
        {"option request cut byte by byte", {"FF", "FD", "2C 05"}, "05", {"DO 44"}},
        {"rate reply cut in three", {"FF FA 2C 65 00", "00 25 80 FF", "F0 07"}, "07",
         {"SB 44: 65 00 00 25 80"}},
        {"doubled IAC inside a subnegotiation", {"FF FA 2C 65 00 00 FF FF FF F0"}, "", {"SB 44: 65 00 00 FF"}},
        {"NOP and GA carry nothing", {"01 FF F1 02 FF F9 03"}, "01 02 03", {}},
        {"stray SE carries nothing", {"FF F0 04"}, "04", {}},
        {"subnegotiation ended by a command", {"FF FA 2C 70 03 FF FB 00 09"}, "09",
         {"SB 44: 70 03", "WILL 0"}},
        {"data around commands", {"C0 FF FE 01 D0 FF FA 2C 6B 00 FF F0 C1"}, "C0 D0 C1",
         {"DONT 1", "SB 44: 6B 00"}},
    };
    for (const Row& r : rows) {
        TelnetDecoder decoder;
        std::vector<uint8_t> data;
        std::vector<TelnetEvent> events;
        for (const char* read : r.reads) {
            const auto bytes = FromHex(read);
            decoder.Feed(bytes.data(), bytes.size(), data, events);
        }
        EXPECT_EQ(ToHex(data), r.data) << r.name;
        std::vector<std::string> texts;
        for (const auto& e : events) texts.push_back(EventText(e));
        EXPECT_EQ(texts, r.events) << r.name;
    }
    // A subnegotiation that never ends is cut, not grown without end.
    TelnetDecoder decoder;
    std::vector<uint8_t> data, garbage(5000, 0x41);
    std::vector<TelnetEvent> events;
    const auto open = FromHex("FF FA 2C");
    decoder.Feed(open.data(), open.size(), data, events);
    decoder.Feed(garbage.data(), garbage.size(), data, events);
    const auto close = FromHex("FF F0");
    decoder.Feed(close.data(), close.size(), data, events);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].payload.size(), TelnetDecoder::kMaxPayload);
    EXPECT_TRUE(data.empty());
}

TEST(TelnetOptions, AcceptsWhatTheLineRunsRefusesTheRestNeverLoops) {
    TelnetOptions o;
    struct Step {
        const char* name;
        bool ours;     // our own request, else the far end's
        uint8_t verb;
        uint8_t option;
        const char* reply;
    } steps[] = {
        {"we offer the COM port option", true, kWill, kComPort, "FF FB 2C"},
        {"offered twice, sent once", true, kWill, kComPort, ""},
        {"we ask for binary from them", true, kDo, kBinary, "FF FD 00"},
        {"their DO agrees to our offer", false, kDo, kComPort, ""},
        {"their WILL agrees to our request", false, kWill, kBinary, ""},
        {"they ask us for binary", false, kDo, kBinary, "FF FB 00"},
        {"they offer suppress-go-ahead", false, kWill, kSuppressGoAhead, "FF FD 03"},
        {"offered again once on: no reply", false, kWill, kSuppressGoAhead, ""},
        {"they ask us for suppress-go-ahead", false, kDo, kSuppressGoAhead, "FF FC 03"},
        {"they offer echo: refused", false, kWill, kEcho, "FF FE 01"},
        {"their WONT echo while off: no reply", false, kWont, kEcho, ""},
        {"they ask for terminal type: refused", false, kDo, 24, "FF FC 18"},
        {"they turn the COM port option off", false, kDont, kComPort, "FF FC 2C"},
        {"turned off twice: no reply", false, kDont, kComPort, ""},
    };
    for (const Step& s : steps) {
        const auto reply = s.ours ? o.Request(s.verb, s.option) : o.Answer(s.verb, s.option);
        EXPECT_EQ(ToHex(reply), s.reply) << s.name;
    }
    EXPECT_TRUE(o.LocalOn(kBinary) && o.RemoteOn(kBinary) && o.RemoteOn(kSuppressGoAhead));
    EXPECT_FALSE(o.LocalOn(kComPort) || o.RemoteOn(kEcho) || o.LocalOn(kSuppressGoAhead));

    // A converter that refuses the option: the line can tell at once instead of waiting.
    TelnetOptions refusing;
    refusing.Request(kWill, kComPort);
    EXPECT_EQ(ToHex(refusing.Answer(kDont, kComPort)), "");
    EXPECT_TRUE(refusing.LocalRefused(kComPort));
    EXPECT_FALSE(refusing.LocalOn(kComPort));
}

TEST(ComPortOption, CommandsAndReplies) {
    struct Row {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* wire;
    } rows[] = {
        {"9600 8N1", LineFormatCommands(LineFormatFor(9600)),
         "FF FA 2C 01 00 00 25 80 FF F0 FF FA 2C 02 08 FF F0 FF FA 2C 03 01 FF F0 FF FA 2C 04 01 FF F0"},
        {"4800 7E2 for VRX 2.0", LineFormatCommands(LineFormatFor(4800)),
         "FF FA 2C 01 00 00 12 C0 FF F0 FF FA 2C 02 07 FF F0 FF FA 2C 03 03 FF F0 FF FA 2C 04 02 FF F0"},
        {"115200", LineFormatCommands(LineFormatFor(115200)),
         "FF FA 2C 01 00 01 C2 00 FF F0 FF FA 2C 02 08 FF F0 FF FA 2C 03 01 FF F0 FF FA 2C 04 01 FF F0"},
        {"purge both buffers", ComPortCommand(kPurgeData, {kPurgeBoth}), "FF FA 2C 0C 03 FF F0"},
        {"no flow control", ComPortCommand(kSetControl, {kControlNoFlow}), "FF FA 2C 05 01 FF F0"},
        {"0xFF in a value is doubled", ComPortCommand(kSetBaudRate, {0x00, 0x00, 0xFF, 0x00}),
         "FF FA 2C 01 00 00 FF FF 00 FF F0"},
        {"data with 0xFF", EscapeIac(FromHex("C0 FF FF 01").data(), 4), "C0 FF FF FF FF 01"},
        {"data without 0xFF", EscapeIac(FromHex("01 00 00 20 00 C0").data(), 6), "01 00 00 20 00 C0"},
    };
    for (const Row& r : rows) EXPECT_EQ(ToHex(r.bytes), r.wire) << r.name;

    struct Reply {
        uint8_t option;
        const char* payload;
        std::optional<std::pair<int, uint32_t>> parsed;
    } replies[] = {
        {kComPort, "65 00 00 4B 00", std::pair{1, 19200u}},
        {kComPort, "65 00 01 C2 00", std::pair{1, 115200u}},
        {kComPort, "66 07", std::pair{2, 7u}},
        {kComPort, "67 03", std::pair{3, 3u}},
        {kComPort, "68 02", std::pair{4, 2u}},
        {kComPort, "70 03", std::pair{12, 3u}},
        {kComPort, "01 00 00 25 80", std::nullopt},  // a client's command, not a reply
        {kComPort, "65 00 25", std::nullopt},        // a rate cut short
        {kComPort, "66 08 00", std::nullopt},        // one byte too many
        {kComPort, "65", std::nullopt},
        {24, "65 00 00 25 80", std::nullopt},        // another option's subnegotiation
    };
    for (const Reply& r : replies) {
        const auto reply = ParseComPortReply({kSb, r.option, FromHex(r.payload)});
        ASSERT_EQ(reply.has_value(), r.parsed.has_value()) << r.payload;
        if (reply) {
            EXPECT_EQ(std::pair(int(reply->command), reply->value), *r.parsed) << r.payload;
        }
    }
}

TEST(NetPortName, EndpointsAndWhatIsNotOne) {
    struct Row {
        const char* name;
        bool network;
        std::optional<NetLineKind> kind;  // none: not a well-formed endpoint
        const char* host;
        const char* port;
        const char* target;
    } rows[] = {
        {"rfc2217://127.0.0.1:4000", true, NetLineKind::Rfc2217, "127.0.0.1", "4000", "rfc2217://127.0.0.1:4000"},
        {"tcp://converter.station-7.local:23", true, NetLineKind::RawTcp, "converter.station-7.local", "23", nullptr},
        {"rfc2217://[::1]:4000", true, NetLineKind::Rfc2217, "::1", "4000", nullptr},
        {"tcp://[fe80::1%eth0]:65535", true, NetLineKind::RawTcp, "fe80::1%eth0", "65535", nullptr},
        {"tcp://host:0023", true, NetLineKind::RawTcp, "host", "23", nullptr},
        {"tcp://host", true, std::nullopt, "", "", "tcp://host"},
        {"tcp://:4000", true, std::nullopt, "", "", nullptr},
        {"tcp://host:0", true, std::nullopt, "", "", nullptr},
        {"tcp://host:65536", true, std::nullopt, "", "", nullptr},
        {"tcp://host:4000/", true, std::nullopt, "", "", nullptr},
        {"tcp://::1:4000", true, std::nullopt, "", "", nullptr},
        {"rfc2217://[::1]4000", true, std::nullopt, "", "", nullptr},
        {"rfc2217://[::1:4000", true, std::nullopt, "", "", nullptr},
        {"tcp://ho st:4000", true, std::nullopt, "", "", nullptr},
        {"ttyUSB0", false, std::nullopt, "", "", "/dev/ttyUSB0"},
        {"/tmp/ornix", false, std::nullopt, "", "", "/tmp/ornix"},
        {"TCP://host:1", false, std::nullopt, "", "", "/dev/TCP://host:1"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(IsNetPortName(r.name), r.network) << r.name;
        EXPECT_EQ(OpensAtOnce(r.name), !r.network) << r.name;
        const auto ep = ParseNetPortName(r.name);
        ASSERT_EQ(ep.has_value(), r.kind.has_value()) << r.name;
        if (ep) {
            EXPECT_EQ(ep->kind, *r.kind) << r.name;
            EXPECT_EQ(ep->host, r.host) << r.name;
            EXPECT_EQ(ep->port, r.port) << r.name;
        }
        if (r.target) {
            EXPECT_EQ(LineTargetFor(r.name), r.target) << r.name;
        }
    }
}

}  // namespace
