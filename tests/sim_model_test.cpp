// The simulated controller's answers, byte for byte, without any line in between.
#include <gtest/gtest.h>

#include "link/ProtocolConstants.h"
#include "sim/SimController.h"
#include "tests/support/HexBytes.h"

namespace {

constexpr int64_t kDay2Ms = (kUnixSecondsAt2000 + 86400) * 1000;  // 2000-01-02 00:00:00 UTC

struct ModelFixture : ::testing::Test {
    int64_t nowMs = kDay2Ms + 500;
    SimController c{ControllerState{}, [this] { return nowMs; }};

    std::string Ask(const std::string& requestHex) {
        auto a = c.Handle(FromHex(requestHex));
        return a ? ToHex(a->Bytes) : "silent";
    }
};

// The default identity, as the record reads on the wire.
const std::string kRecord =
    "21 00 07 03 0E 05 18 4F 52 4E 58 00 01 27 10 1B 00 00 29 A1 86 01 00 00";

TEST_F(ModelFixture, IdentificationAnswerHasTheConfiguredLength) {
    struct Case {
        int length;
        std::string data;
    } cases[] = {
        {27, kRecord},
        {26, kRecord.substr(0, 23 * 3 - 1)},
        {21, kRecord.substr(0, 18 * 3 - 1)},
        {20, kRecord.substr(0, 17 * 3 - 1)},
        {30, kRecord + " 00 00 00"},
        {3, ""},
    };
    for (const Case& k : cases) {
        c.State.IdentityAnswerLength = k.length;
        std::string expected = "01 00 00" + (k.data.empty() ? "" : " " + k.data);
        EXPECT_EQ(Ask("01 00 00"), expected) << "length " << k.length;
    }
}

TEST_F(ModelFixture, IdentificationCarriesTheStateFields) {
    c.State.DeviceType = 0x8021;
    c.State.HardwareError = 7;
    c.State.ProtocolType = 2;
    c.State.CpuTemperature = -5;
    c.State.VrxId = 0x01020304;
    c.State.DoorSensors = 3;
    EXPECT_EQ(Ask("01 00 00"),
              "01 00 00 21 80 07 03 0E 05 18 4F 52 4E 58 00 01 27 10 1B 07 02 FB 04 03 02 01 03");
}

TEST_F(ModelFixture, FirmwareMd5) {
    EXPECT_EQ(Ask("01 00 03"), "01 00 00 3A 7F 10 C2 5E 91 0B D4 66 28 E3 4D 8C 01 B9 75");
    c.State.Md5DelayMs = 1200;
    EXPECT_EQ(c.Handle(FromHex("01 00 03"))->DelayMs, 1200);
}

TEST_F(ModelFixture, RefusalsOfBadRequests) {
    struct Case {
        const char* request;
        const char* answer;
    } cases[] = {
        {"01 00 05", "01 00 0D"},                    // sub-code not modelled
        {"01 77", "01 77 0D"},                       // command not modelled
        {"01 00", "01 00 0D"},                       // no sub-code at all
        {"01 00 00 00", "01 00 1D"},                 // identification too long
        {"01 08 00", "01 08 1D"},                    // read time takes no parameters
        {"01 09 01 02 03", "01 09 1D"},              // time stamp one byte short
        {"01 0A 0C", "01 0A 1D"},                    // zone without summer mode
        {"01 0A 0C 03", "01 0A 12"},                 // summer mode 3 does not exist
        {"01 0A 39 00", "01 0A 12"},                 // UTC+14:15 is no zone
        {"01 0A CF 00", "01 0A 12"},                 // UTC-12:15 neither
        {"01 22 00", "01 22 12"},                    // address 0 would make it unreachable
        {"01 22 FF", "01 22 12"},                    // so would 255
        {"01 22 05 01", "01 22 0D"},                 // 4-byte form names nothing
        {"01 22 02 07 11", "01 22 0D"},              // byte 3 selects nothing known
        {"01 91 4F 52 4E 58", "01 91 1D"},           // no value byte
        {"01 91 4F 52 4E 59 60", "01 91 12"},        // wrong guard code
        {"01 91 4F 52 4E 58 03", "01 91 12"},        // neither protocol nor known divisor
        {"01 91 4F 52 4E 58 C0", "01 91 12"},        // 4800 only through VRX wiring
    };
    for (const Case& k : cases) EXPECT_EQ(Ask(k.request), k.answer) << k.request;
    EXPECT_EQ(c.State.Address, 1);
    EXPECT_EQ(c.State.BitRate, 9600);
}

TEST_F(ModelFixture, OnlyItsOwnAddressIsAnswered) {
    EXPECT_EQ(Ask("02 00 00"), "silent");
    EXPECT_EQ(Ask("01"), "silent");
    EXPECT_EQ(Ask(""), "silent");
}

TEST_F(ModelFixture, BusAddressChangeAnswersFromTheOldAddress) {
    EXPECT_EQ(Ask("01 22 11"), "01 22 00");
    EXPECT_EQ(Ask("01 08"), "silent");
    EXPECT_EQ(Ask("11 22 00 00 05"), "11 22 00");  // long form, byte 3 = 0: the controller
    EXPECT_EQ(c.State.Address, 5);
    c.State.RefuseAddressChange = true;
    EXPECT_EQ(Ask("05 22 09"), "05 22 12");
    EXPECT_EQ(c.State.Address, 5);
}

TEST_F(ModelFixture, Command145SetsBitRateOrProtocol) {
    struct Case {
        const char* value;
        int bitRate;
        int protocol;
    } cases[] = {
        {"60", 9600, 0}, {"30", 19200, 0}, {"18", 38400, 0}, {"10", 57600, 0},
        {"08", 115200, 0}, {"02", 115200, 2}, {"01", 115200, 1}, {"00", 115200, 0},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(Ask(std::string("01 91 4F 52 4E 58 ") + k.value), "01 91 00") << k.value;
        EXPECT_EQ(c.State.BitRate, k.bitRate) << k.value;
        EXPECT_EQ(c.State.ProtocolType, k.protocol) << k.value;
    }
}

TEST_F(ModelFixture, ClockRunsWithTheInjectedTime) {
    EXPECT_EQ(Ask("01 08"), "01 08 00 80 51 01 00 0C 00");
    nowMs += 2000;
    EXPECT_EQ(Ask("01 08"), "01 08 00 82 51 01 00 0C 00");

    EXPECT_EQ(Ask("01 09 E8 03 00 00"), "01 09 00");  // set to 1000 s
    nowMs += 5000;
    EXPECT_EQ(Ask("01 08"), "01 08 00 ED 03 00 00 0C 00");

    EXPECT_EQ(Ask("01 0A F0 02"), "01 0A 00");  // UTC-4:00, summer time always
    EXPECT_EQ(Ask("01 08"), "01 08 00 ED 03 00 00 F0 02");
}

TEST_F(ModelFixture, StandingClockKeepsItsValueAndCanBeSet) {
    c.State.Clock.Standing = true;
    c.State.Clock.StandingUtc = 0x12345678;
    nowMs += 60000;
    EXPECT_EQ(Ask("01 08"), "01 08 00 78 56 34 12 0C 00");
    EXPECT_EQ(Ask("01 09 01 00 00 00"), "01 09 00");
    nowMs += 60000;
    EXPECT_EQ(Ask("01 08"), "01 08 00 01 00 00 00 0C 00");
}

TEST_F(ModelFixture, VrxProbeAndProtocolSwitch) {
    EXPECT_EQ(c.HandleVrx("1").value_or("silent"), "1100001");
    std::string code(kVrxProtocolFunctionCode.begin(), kVrxProtocolFunctionCode.end());
    std::string confirmation(kVrxProtocolConfirmation.begin(), kVrxProtocolConfirmation.end());
    EXPECT_EQ(c.HandleVrx(code + "2").value_or("silent"), confirmation);
    EXPECT_EQ(c.State.ProtocolType, 2);
    EXPECT_EQ(c.HandleVrx(code + "3").value_or("silent"), "silent");
    EXPECT_EQ(c.HandleVrx(code).value_or("silent"), "silent");
    EXPECT_EQ(c.HandleVrx("2").value_or("silent"), "silent");
    EXPECT_EQ(c.State.ProtocolType, 2);
}

}  // namespace
