// Counter readers: last fill, data block, totals in both layouts, temperatures with the
// manual-mode fault; each checked through the requests it sends and the cells it fills.
#include <algorithm>
#include <gtest/gtest.h>

#include "commands/CounterReaders.h"
#include "engine/CounterRecords.h"
#include "engine/OperationPattern.h"
#include "link/UserFormats.h"
#include "tests/support/ScriptedWorker.h"

namespace {

class CounterReaders : public ::testing::Test {
protected:
    void SetUp() override {
        UserFormats formats;
        formats.DecimalSeparator = ",";
        SetUserFormats(formats);
    }
    static std::vector<uint8_t> Answer(uint8_t command, int length, uint8_t result = 0) {
        std::vector<uint8_t> a(length, 0);
        a[0] = 1;
        a[1] = command;
        a[2] = result;
        return a;
    }
    static void Put32(std::vector<uint8_t>& a, int at, uint32_t v) { PutU32(&a[at], v); }
    static void Put64(std::vector<uint8_t>& a, int at, uint64_t v) {
        PutU32(&a[at], uint32_t(v));
        PutU32(&a[at + 4], uint32_t(v >> 32));
    }
};

// 2026-12-09 14:05:09 as seconds since 2000: 9839 days.
constexpr uint32_t Afternoon = 9839u * 86400 + 14 * 3600 + 5 * 60 + 9;

// The full answer is 48 bytes; a shorter `length` cuts it, a longer one pads it with zeros.
std::vector<uint8_t> LastFillAnswer(int length) {
    std::vector<uint8_t> a(std::max(length, 48), 0);
    a[0] = 1; a[1] = 0xD0;
    uint8_t* b = a.data() + 4;
    PutU32(b + 0, 4711);            // transaction
    PutU32(b + 4, Afternoon);       // start
    b[8] = 12; b[9] = 0;
    PutU32(b + 10, Afternoon + 75); // end
    b[14] = 14; b[15] = 2;
    PutU32(b + 16, 20000);          // started dose
    PutU32(b + 20, 19950);          // poured
    PutU32(b + 24, 1234);           // flowmeter base
    PutU32(b + 28, 10020);          // coefficient
    PutU32(b + 32, 0xFFFFFFFF);     // total: all 64 bits set
    PutU32(b + 36, 0xFFFFFFFF);
    PutU32(b + 40, 1500);           // overfills
    a.resize(size_t(length));
    return a;
}

TEST_F(CounterReaders, LastFillFillsItsRowsWithTimesAndDates) {
    ScriptedWorker w;
    w->TrkCfg[0] = 5;
    w->CurrentChannel = 2;
    EXPECT_EQ(w.Run(ReadLastFill, ToHex(LastFillAnswer(48))), "01 D0 02");
    struct Row { int row; std::string text; };
    const Row rows[] = {
        {27, "4711"}, {28, "20"}, {29, "19,95"}, {31, "1,5"},
        {32, "14:05:09(+3,0)"}, {33, "14:06:24(+3:30,2)"},
        {34, "09.12.2026"}, {35, "09.12.2026"}, {36, "10020"}, {37, "1,234"},
    };
    for (const Row& r : rows) EXPECT_EQ(w.Views.Ch(r.row, 2), r.text) << r.row;
    // An all-ones total is huge and positive, never a negative number of litres.
    std::string total = w.Views.Ch(30, 2);
    ASSERT_FALSE(total.empty());
    EXPECT_EQ(total.find('-'), std::string::npos) << total;
    EXPECT_EQ(total.substr(0, 4), "1,84") << total;
}

TEST_F(CounterReaders, LastFillLengthAndChannelLimits) {
    ScriptedWorker w;
    w->TrkCfg[0] = 3;
    w->CurrentChannel = 1;
    w.Run(ReadLastFill, ToHex(LastFillAnswer(47)));
    EXPECT_EQ(ComPort.Error, -5);
    EXPECT_NE(w->PollStatusText.find("Неверная длина ответа: 47 байт. Должно быть 48 байт."), std::string::npos);
    EXPECT_EQ(w->LastFill[0], 0);
    EXPECT_EQ(w.Views.Ch(27, 1), "");

    // Read but not shown for a channel the controller does not have.
    w->CurrentChannel = 3;
    w.Run(ReadLastFill, ToHex(LastFillAnswer(60)));
    EXPECT_EQ(DecodeLastFill(w->LastFill).transaction, 4711u);
    EXPECT_FALSE(w.Views.Called("SetChStatus"));
}

TEST_F(CounterReaders, DataBlockChannelCountDecidesTheLength) {
    struct Case { int n; int length; bool accepted; std::string required; };
    const Case cases[] = {
        {1, 20, true, ""}, {5, 52, true, ""}, {5, 51, false, "52"},
        {0, 60, false, "12"}, {6, 80, false, "60"},
    };
    for (const Case& c : cases) {
        ScriptedWorker w;
        std::vector<uint8_t> a = Answer(0xD1, c.length);
        a[3] = uint8_t(c.n);
        for (int i = 4; i < c.length; ++i) a[i] = uint8_t(i);
        w->DataBlockRecords.fill(0xEE);
        EXPECT_EQ(w.Run(ReadDataBlock, ToHex(a)), "01 D1") << c.n;
        EXPECT_EQ(w->DataBlockStatus[2], c.accepted ? 6 : 0) << c.n << "/" << c.length;
        if (!c.accepted) {
            EXPECT_NE(w->PollStatusText.find("Должно быть " + c.required + " байт"), std::string::npos)
                << w->PollStatusText;
            EXPECT_EQ(w->DataBlockRecords[0], 0xEE) << "a refused answer changes nothing";
        }
    }
    // Records beyond a short answer are zero, not left-overs of an earlier one.
    ScriptedWorker w;
    std::vector<uint8_t> a = Answer(0xD1, 20);
    a[3] = 1;
    for (int i = 12; i < 20; ++i) a[i] = 0x11;
    w->DataBlockRecords.fill(0xEE);
    w.Run(ReadDataBlock, ToHex(a));
    EXPECT_EQ(w->DataBlockRecords[7], 0x11);
    EXPECT_EQ(w->DataBlockRecords[8], 0);
    EXPECT_EQ(w->DataBlockRecords[39], 0);
}

TEST_F(CounterReaders, TotalsOfBothLayoutsLandInTheirWindows) {
    ScriptedWorker w;
    w->CurrentChannel = 1;
    std::vector<uint8_t> t = Answer(0xF9, 56);
    Put32(t, 4, 2500);             // base
    Put64(t, 8, 123456789);        // total
    Put32(t, 16, 4500);            // overfills
    Put64(t, 36, 9876543);         // money
    Put64(t, 44, 700);             // manual
    Put32(t, 52, 5);               // remote
    EXPECT_EQ(w.Run(ReadChannelTotals, ToHex(t)), "01 F9 02 01");
    EXPECT_EQ(w.Views.Trk(8), "2,5 л");
    EXPECT_EQ(w.Views.Ch(15, 1), "123456,789");
    EXPECT_EQ(w.Views.Ch(16, 1), "4,5");
    EXPECT_EQ(w.Views.Ch(17, 1), "0,7");
    EXPECT_EQ(w.Views.Ch(18, 1), "0,005");
    EXPECT_EQ(w.Views.Ch(19, 1), "98765,43");

    // Sub-code 3: the same fields eight bytes later, two current-dose values in front.
    std::vector<uint8_t> c = Answer(0xF9, 64);
    Put32(c, 4, 1250);
    Put32(c, 8, 30);
    Put32(c, 12, 3000);
    Put64(c, 16, 2000);
    Put64(c, 44, 150);
    EXPECT_EQ(w.Run(ReadChannelCounters, ToHex(c)), "01 F9 03 01");
    EXPECT_EQ(w->FlowmeterBase, 3000u);
    EXPECT_EQ(w.Views.FlowCell(5, 1), "1,25");
    EXPECT_EQ(w.Views.FlowCell(6, 1), "0,03");
    EXPECT_EQ(w.Views.FlowCell(7, 1), "2");
    EXPECT_EQ(w.Views.FlowCell(11, 1), "1,5");
    EXPECT_EQ(w.Views.Trk(8), "2,5 л") << "the counters never show the base";

    // Short answers of either layout are refused with their own length.
    w.Run(ReadChannelTotals, ToHex(Answer(0xF9, 55)));
    EXPECT_NE(w->PollStatusText.find("Должно быть 56 байт"), std::string::npos);
    w.Run(ReadChannelCounters, ToHex(Answer(0xF9, 63)));
    EXPECT_NE(w->PollStatusText.find("Должно быть 64 байт"), std::string::npos);
}

TEST_F(CounterReaders, TotalsOfAChannelWithoutColumnAreKeptNotShown) {
    ScriptedWorker w;
    w.Views.ChannelColumns = 2;
    w->CurrentChannel = 2;
    std::vector<uint8_t> t = Answer(0xF9, 56);
    Put64(t, 8, 5000);
    w.Run(ReadChannelTotals, ToHex(t));
    EXPECT_EQ(w->ChannelTotalsRead[2].total, 5000u);
    EXPECT_FALSE(w.Views.Called("SetChStatus"));
    EXPECT_FALSE(w.Views.Called("SetTrkStatus"));
}

TEST_F(CounterReaders, TemperatureVoltageAndIllumination) {
    struct Case { uint8_t temperature; std::string text; uint8_t illumination; std::string percent; };
    const Case cases[] = {
        {0x80, "---", 255, "100"}, {0x7F, "127°C", 128, "50"}, {0xF6, "-10°C", 0, "0"},
        {0x81, "-127°C", 1, "0"},  // only -128 means "no sensor" here
    };
    for (const Case& c : cases) {
        ScriptedWorker w;
        w->CurrentChannel = 4;
        std::vector<uint8_t> a = Answer(0xFC, 20);
        a[3] = c.temperature;
        a[4] = c.illumination;
        a[5] = 255;
        a[6] = 24;
        EXPECT_EQ(w.Run(ReadTempsAndVoltages, ToHex(a)), "01 FC 04");
        EXPECT_EQ(w.Views.Trk(5), c.text);
        EXPECT_EQ(w.Views.Trk(3), "24 В");
        EXPECT_EQ(w.Views.Illum1, c.percent);
        EXPECT_EQ(w.Views.Illum2, "100");
    }
}

TEST_F(CounterReaders, ManualModeRaisesAndClearsOnlyItsOwnFault) {
    struct Case { int before; uint8_t result; int after; bool shown; };
    const Case cases[] = {
        {0, 179, 31, true},   // manual mode shows as a fault when nothing else is shown
        {5, 179, 5, true},    // a real fault stays in front
        {31, 0, 0, true},     // manual mode ended
        {5, 0, 5, true},
        {31, 199, 0, true},   // lost LPGmass link still carries the readings
        {31, 13, 31, false},  // a refusal changes nothing
    };
    for (const Case& c : cases) {
        ScriptedWorker w;
        w.Views.Window.HdwErrCode = c.before;
        std::vector<uint8_t> a = Answer(0xFC, 20, c.result);
        a[6] = 12;
        w.Run(ReadTempsAndVoltages, ToHex(a));
        EXPECT_EQ(w.Views.Window.HdwErrCode, c.after) << c.before << "/" << int(c.result);
        EXPECT_EQ(w.Views.Trk(3), c.shown ? "12 В" : "") << int(c.result);
        EXPECT_TRUE(w->PollStatusText.ends_with(ComPort.ResultText));
    }
    // A short answer is short whether or not the result code still carries data.
    for (uint8_t result : {0, 179, 199}) {
        ScriptedWorker shortAnswer;
        shortAnswer.Run(ReadTempsAndVoltages, ToHex(Answer(0xFC, 19, result)));
        EXPECT_NE(shortAnswer->PollStatusText.find("Должно быть 20 байт"), std::string::npos) << int(result);
        EXPECT_EQ(shortAnswer.Views.Trk(3), "");
        EXPECT_EQ(shortAnswer.Views.Window.HdwErrCode, 0);
    }
}

}  // namespace
