// The line between the tool and the simulated devices: framing, bit rates, several devices,
// faults and the command line, all without a pseudo-terminal.
#include <gtest/gtest.h>

#include "link/FrameCodec.h"
#include "link/ProtocolConstants.h"
#include "link/VrxFraming.h"
#include "sim/SimBus.h"
#include "sim/SimOptions.h"
#include "tests/support/HexBytes.h"

namespace {

const LineSettings k9600{9600};
const LineSettings k19200{19200};
const LineSettings k4800{4800};

int64_t FixedClock() { return (kUnixSecondsAt2000 + 86400) * 1000; }

struct Received {
    AnswerCheck check;
    std::vector<uint8_t> body;
    FrameEnd end = FrameEnd::Open;
};

// Reads a frame the way the tool's port does.
Received ReadAnswer(const std::vector<uint8_t>& frame) {
    Received r;
    r.body.resize(256);
    FrameUnstuffer u(r.body.data(), 256);
    for (uint8_t b : frame) {
        if (!u.WantsByte() || u.End() != FrameEnd::Open) break;
        u.Push(b);
    }
    if (u.End() == FrameEnd::Open) u.NoByte();
    r.end = u.End();
    r.check = CheckAnswer(r.body.data(), u.Stored(), u.End());
    r.body.resize(size_t(r.check.answerLength));
    return r;
}

struct BusFixture : ::testing::Test {
    SimConfig config;
    std::unique_ptr<SimBus> bus;
    int64_t now = 0;

    SimBus& Bus() {
        if (!bus) bus = std::make_unique<SimBus>(config, FixedClock);
        return *bus;
    }
    std::vector<BusOutput> Send(const std::string& content, LineSettings line = k9600) {
        return Bus().Receive(BuildFrame(FromHex(content)), line, now);
    }
    // The content of the single clean answer, or what went wrong.
    std::string Exchange(const std::string& content, LineSettings line = k9600) {
        auto out = Send(content, line);
        if (out.empty()) return "silent";
        if (out.size() > 1) return "several answers";
        Received r = ReadAnswer(out[0].Bytes);
        if (r.check.error < 0) return "error " + std::to_string(r.check.error);
        return ToHex(r.body);
    }
};

TEST_F(BusFixture, ListensOnlyAtItsOwnRate) {
    EXPECT_EQ(Exchange("01 08", k19200), "silent");
    EXPECT_EQ(Exchange("01 08"), "01 08 00 80 51 01 00 0C 00");
    // Bit rate 19200: the answer still leaves at 9600, then only 19200 is heard.
    auto out = Send("01 91 4F 52 4E 58 30");
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].BitRate, 9600);
    EXPECT_EQ(Exchange("01 08"), "silent");
    EXPECT_EQ(Exchange("01 08", k19200), "01 08 00 80 51 01 00 0C 00");
}

TEST_F(BusFixture, FramesSurviveSplitsNoiseAndBadCrc) {
    std::vector<uint8_t> frame = BuildFrame(FromHex("01 00 03"));
    // The search's wake-up bytes, then a request in single bytes.
    EXPECT_TRUE(Bus().Receive(FromHex("55 55 C0"), k9600, now).empty());
    std::vector<BusOutput> out;
    for (uint8_t b : frame) {
        auto part = Bus().Receive(std::vector<uint8_t>{b}, k9600, now);
        out.insert(out.end(), part.begin(), part.end());
    }
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(ReadAnswer(out[0].Bytes).check.error, 0);

    frame[2] ^= 0x01;  // the tool's frame got hit on the line: the controller ignores it
    EXPECT_TRUE(Bus().Receive(frame, k9600, now).empty());
    // Half a frame heard at another rate is forgotten, not glued to the next one.
    EXPECT_TRUE(Bus().Receive(FromHex("01 08"), k19200, now).empty());
    EXPECT_EQ(Exchange("01 08"), "01 08 00 80 51 01 00 0C 00");
}

TEST_F(BusFixture, AddressWithStuffedBytesIsUnderstood) {
    config.Controller.Address = 0xC0;
    EXPECT_EQ(Exchange("C0 08"), "C0 08 00 80 51 01 00 0C 00");
}

TEST_F(BusFixture, SecondControllerAtItsOwnAddressAndRate) {
    config.Second = true;
    config.SecondAddress = 7;
    config.SecondBitRate = 19200;
    EXPECT_EQ(Exchange("07 08"), "silent");
    EXPECT_NE(Exchange("07 00 00", k19200).substr(0, 8), "silent");
    EXPECT_EQ(Exchange("07 00 00", k19200).substr(0, 8), "07 00 00");
    EXPECT_EQ(Exchange("01 00 00", k19200), "silent");
    EXPECT_EQ(Exchange("01 00 00").substr(0, 8), "01 00 00");
}

TEST_F(BusFixture, TwinsAtOneAddressGarbleEachOther) {
    config.Twin = true;
    for (const char* request : {"01 00 00", "01 08", "01 00 03"}) {
        auto out = Send(request);
        ASSERT_EQ(out.size(), 1u) << request;  // one stream on the wire, two talkers
        int error = ReadAnswer(out[0].Bytes).check.error;
        EXPECT_NE(error, 0) << request;
        EXPECT_NE(error, -1) << request;  // something came: the search calls it a conflict
    }
    // Both heard the address change and both moved.
    Send("01 22 05");
    EXPECT_EQ(Bus().Device(0).State.Address, 5);
    EXPECT_EQ(Bus().Device(1).State.Address, 5);
}

std::vector<uint8_t> VrxRequest(uint8_t address, const std::string& chars) {
    std::vector<uint8_t> rq(1 + chars.size(), address);
    std::copy(chars.begin(), chars.end(), rq.begin() + 1);
    return BuildVrxRequest(rq);
}

std::string ReadVrx(const std::vector<BusOutput>& out, int* error = nullptr) {
    if (out.size() != 1) return "answers: " + std::to_string(out.size());
    uint8_t buf[256];
    VrxParser p(buf, 256);
    for (uint8_t b : out[0].Bytes)
        if (p.WantsByte()) p.Push(b);
    if (error) *error = p.Error();
    if (!p.Done()) return "unfinished";
    return ToHex(buf, size_t(p.AnswerLength()));
}

TEST_F(BusFixture, VrxAt4800) {
    config.Controller.BitRate = 4800;
    config.Controller.Address = 16;
    EXPECT_TRUE(Bus().Receive(VrxRequest(16, "1"), k9600, now).empty());
    EXPECT_TRUE(Bus().Receive(VrxRequest(15, "1"), k4800, now).empty());
    EXPECT_TRUE(Bus().Receive(FromHex("03 03 55"), k4800, now).empty());  // search wake-up
    // Start byte is the address group of 16; the probe answer names the VRX id.
    EXPECT_EQ(ReadVrx(Bus().Receive(VrxRequest(16, "1"), k4800, now)), "07 31 31 30 30 30 30 31");

    std::string code(kVrxProtocolFunctionCode.begin(), kVrxProtocolFunctionCode.end());
    auto out = Bus().Receive(VrxRequest(16, code + "1"), k4800, now);
    EXPECT_EQ(ReadVrx(out), "07 " + ToHex(kVrxProtocolConfirmation.data(), 7));
    EXPECT_EQ(out[0].BitRate, 4800);
    EXPECT_EQ(Bus().Main().State.ProtocolType, 1);
    // The address change goes in the main framing whatever the rate.
    EXPECT_EQ(Exchange("10 22 11", k4800), "10 22 00");
    EXPECT_TRUE(Bus().Receive(VrxRequest(16, "1"), k4800, now).empty());
    EXPECT_EQ(ReadVrx(Bus().Receive(VrxRequest(17, "1"), k4800, now)), "07 31 31 30 30 30 30 31");
}

TEST_F(BusFixture, TwinsGarbleVrxAnswersToo) {
    config.Controller.BitRate = 4800;
    config.Twin = true;
    int error = 0;
    ReadVrx(Bus().Receive(VrxRequest(1, "1"), k4800, now), &error);
    EXPECT_NE(error, 0);
}

struct FaultCase {
    const char* name;
    int FaultPlan::*share;
    int expectedError;  // 1 = no output, 2 = frame without end
};

TEST_F(BusFixture, EachFaultSpoilsTheAnswerItsWay) {
    const FaultCase cases[] = {
        {"drop", &FaultPlan::DropPercent, 1},
        {"bad CRC", &FaultPlan::BadCrcPercent, -2},
        {"cut", &FaultPlan::CutPercent, 2},
    };
    for (const FaultCase& k : cases) {
        SimConfig c;
        c.Faults.*k.share = 100;
        SimBus b(c, FixedClock);
        for (const char* request : {"01 00 00", "01 08", "01 22 01"}) {
            auto out = b.Receive(BuildFrame(FromHex(request)), k9600, 0);
            if (k.expectedError == 1) {
                EXPECT_TRUE(out.empty()) << k.name;
                continue;
            }
            ASSERT_EQ(out.size(), 1u) << k.name;
            Received r = ReadAnswer(out[0].Bytes);
            if (k.expectedError == 2)
                EXPECT_EQ(r.end, FrameEnd::TimeOut) << k.name << " " << request;
            else
                EXPECT_EQ(r.check.error, k.expectedError) << k.name << " " << request;
        }
    }
}

TEST_F(BusFixture, WrongEchoKeepsTheFrameValid) {
    config.Faults.WrongEchoPercent = 100;
    auto out = Send("01 08");
    ASSERT_EQ(out.size(), 1u);
    Received r = ReadAnswer(out[0].Bytes);
    EXPECT_EQ(r.check.error, 0);
    EXPECT_EQ(ToHex(r.body), "01 88 00 80 51 01 00 0C 00");
}

TEST_F(BusFixture, ForcedResultReplacesTheAnswerAndChangesNothing) {
    config.Faults.ForcedResults = {{34, 186}};
    EXPECT_EQ(Exchange("01 22 05"), "01 22 BA");
    EXPECT_EQ(Bus().Main().State.Address, 1);
    EXPECT_EQ(Exchange("01 08"), "01 08 00 80 51 01 00 0C 00");
}

TEST_F(BusFixture, LateAnswerArrivesAsTheNextOne) {
    config.Faults.LatePercent = 100;
    config.Faults.LateMs = 1500;
    EXPECT_TRUE(Send("01 08").empty());
    ASSERT_TRUE(Bus().NextRelease().has_value());
    EXPECT_EQ(*Bus().NextRelease(), 1500);
    // The next request finds the controller still busy: the old answer comes instead.
    now = 600;
    auto out = Send("01 22 05");
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(ToHex(ReadAnswer(out[0].Bytes).body), "01 08 00 80 51 01 00 0C 00");
    EXPECT_EQ(Bus().Main().State.Address, 1);  // the ignored request changed nothing
    // Without a next request it goes out when its time has come.
    Send("01 08");
    EXPECT_TRUE(Bus().Release(now + 1499).empty());
    EXPECT_EQ(Bus().Release(now + 1500).size(), 1u);
    EXPECT_FALSE(Bus().NextRelease().has_value());
}

// Which of 40 answers get dropped, as a string of 'x' and '.'.
std::string DropPattern(uint64_t seed, int percent) {
    SimConfig c;
    c.Seed = seed;
    c.Faults.DropPercent = percent;
    SimBus b(c, FixedClock);
    std::string pattern;
    for (int i = 0; i < 40; ++i)
        pattern += b.Receive(BuildFrame(FromHex("01 08")), k9600, 0).empty() ? 'x' : '.';
    return pattern;
}

TEST(SimFaults, SameSeedSameFaults) {
    EXPECT_EQ(DropPattern(7, 50), DropPattern(7, 50));
    EXPECT_NE(DropPattern(7, 50), DropPattern(8, 50));
    EXPECT_EQ(DropPattern(7, 0), std::string(40, '.'));
    EXPECT_EQ(DropPattern(7, 100), std::string(40, 'x'));
}

TEST(SimFaults, SpoiltCrcNeverBreaksTheFraming) {
    // Contents whose CRC or data hold bytes the framing escapes.
    for (const char* content : {"01 08 00", "C0 08 00 D0", "01 00 00 C0 C0 D0 D0", "D0 C1 D1"}) {
        std::vector<uint8_t> frame = BuildFrame(FromHex(content));
        SpoilCrc(frame);
        Received r = ReadAnswer(frame);
        EXPECT_EQ(r.end, FrameEnd::Terminator) << content;
        EXPECT_EQ(r.check.error, -2) << content;
    }
}

TEST(SimOptions, ParsesWhatItIsGiven) {
    SimConfig c;
    std::string error;
    ASSERT_TRUE(ParseSimArguments({"--address", "17", "--baud=19200", "--pace", "--link", "/tmp/x",
                                   "--seed", "9", "-v", "--second", "3:57600", "--twin", "--drop",
                                   "10", "--result", "8:186", "--result=9:18", "--id-length", "20",
                                   "--device-type", "32801", "--refuse-address", "--late-ms", "700",
                                   "--zone", "-4", "--clock-offset", "-300", "--pace-burst", "14"},
                                  c, error))
        << error;
    EXPECT_EQ(c.Controller.Address, 17);
    EXPECT_EQ(c.Controller.BitRate, 19200);
    EXPECT_TRUE(c.Pace && c.Verbose && c.Twin && c.Second && c.Controller.RefuseAddressChange);
    EXPECT_EQ(c.LinkPath, "/tmp/x");
    EXPECT_EQ(c.Seed, 9u);
    EXPECT_EQ(c.SecondAddress, 3);
    EXPECT_EQ(c.SecondBitRate, 57600);
    EXPECT_EQ(c.Faults.DropPercent, 10);
    EXPECT_EQ(c.Faults.LateMs, 700);
    ASSERT_EQ(c.Faults.ForcedResults.size(), 2u);
    EXPECT_EQ(c.Faults.ForcedResults[1].Command, 9);
    EXPECT_EQ(c.Faults.ForcedResults[1].Result, 18);
    EXPECT_EQ(c.Controller.IdentityAnswerLength, 20);
    EXPECT_EQ(c.Controller.DeviceType, 0x8021);
    EXPECT_EQ(c.Controller.Clock.Zone, -4);
    EXPECT_EQ(c.Controller.Clock.OffsetSeconds, -300);
    EXPECT_EQ(c.PaceBurst, 14);
}

TEST(SimOptions, RefusesBadInputNamingTheOption) {
    const std::vector<std::string> bad[] = {
        {"--address", "0"}, {"--address", "255"}, {"--address", "1x"}, {"--address"},
        {"--baud", "12345"}, {"--drop", "101"}, {"--drop", "-1"}, {"--result", "8"},
        {"--result", "256:1"}, {"--second", "3"}, {"--second", "3:1200"}, {"--pace=1"},
        {"--frobnicate"}, {"--id-length", "2"}, {"--link", ""}, {"--zone", "57"},
        {"--drop", "0.5"}, {"--cut", "101%"}, {"--late", "%"}, {"--pace-burst", "0"},
    };
    for (const auto& args : bad) {
        SimConfig c;
        std::string error;
        EXPECT_FALSE(ParseSimArguments(args, c, error)) << args[0];
        EXPECT_NE(error.find(args[0].substr(0, args[0].find('='))), std::string::npos) << error;
    }
}

TEST(SimOptions, HelpListsEveryOption) {
    std::string help = SimHelpText();
    for (const char* name : {"--address", "--baud", "--pace", "--link", "--seed", "-v", "--drop",
                             "--bad-crc", "--cut", "--late", "--wrong-echo", "--result", "--twin",
                             "--second", "--id-length", "--device-type", "--refuse-address", "--pace-burst"})
        EXPECT_NE(help.find(name), std::string::npos) << name;
}

// Every share the help calls PERCENT takes what the help says: a whole 0..100, "%" optional.
TEST(SimOptions, SharesTakeWhatTheHelpSays) {
    for (const char* name : {"--drop", "--bad-crc", "--cut", "--late", "--wrong-echo"}) {
        const std::string help = SimHelpText();
        const auto line = help.substr(help.find(std::string("  ") + name + " PERCENT"));
        EXPECT_NE(line.substr(0, line.find('\n')).find("0..100 percent"), std::string::npos) << name;
        for (const char* value : {"0", "100", "25%"}) {
            SimConfig c;
            std::string error;
            EXPECT_TRUE(ParseSimArguments({name, value}, c, error)) << name << " " << value << ": " << error;
        }
    }
    SimConfig c;
    std::string error;
    ASSERT_TRUE(ParseSimArguments({"--drop=25%", "--version"}, c, error)) << error;
    EXPECT_EQ(c.Faults.DropPercent, 25);
    EXPECT_TRUE(c.Version);
    EXPECT_EQ(SimVersionText().rfind("ornix-sim ", 0), 0u);
}

}  // namespace
