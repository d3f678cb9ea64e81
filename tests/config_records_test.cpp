// Configuration pages: record <-> control values, and the sub-controller texts.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "commands/ConfigMapping.h"
#include "commands/ConfigRecords.h"
#include "tests/support/HexBytes.h"
#include "tests/support/ScriptedLine.h"

namespace {

std::array<uint8_t, kTrkCfgSize> Record(std::string_view hex) {
    std::array<uint8_t, kTrkCfgSize> r{};
    auto bytes = FromHex(hex);
    std::copy(bytes.begin(), bytes.end(), r.begin());
    return r;
}

// A plausible five-channel configuration: every field holds a value the window can show.
const auto Typical = Record(
    "05 1F 9C 10 32 54 76 98 00 01 02 03 0E 00 01 11 11 22 22 33 33 44 44 81 03 02 0C 74 10 88 01 0F 0F");

TEST(HoseSets, EveryItemTextNamesTheHosesOfItsCode) {
    auto items = HoseSetItems();
    ASSERT_EQ(items.size(), 31u);
    for (size_t i = 0; i < items.size(); ++i) {
        uint8_t fromText = 0;
        for (char ch : items[i].Text)
            if (ch != '+') fromText |= static_cast<uint8_t>(1u << (ch - '1'));
        EXPECT_EQ(fromText, items[i].Code) << items[i].Text;
        EXPECT_EQ(HoseSetIndex(items[i].Code), static_cast<int>(i)) << items[i].Text;
        EXPECT_EQ(HoseSetCode(static_cast<int>(i)), items[i].Code);
    }
}

TEST(HoseSets, CodesWithoutAnItemSelectNothing) {
    struct Case { uint8_t code; int index; };
    for (auto [code, index] : {Case{0x1E, 29}, {0x1F, 30}, {0x00, -1}, {0x20, -1}, {0xFF, -1}, {0x01, 0}})
        EXPECT_EQ(HoseSetIndex(code), index) << int(code);
    EXPECT_FALSE(HoseSetCode(-1));
    EXPECT_FALSE(HoseSetCode(31));
}

TEST(TrkCfgControls, FieldsOfTheRecord) {
    auto rec = Typical;
    rec[3] = 0x2E;
    rec[24] = 0x1E;
    rec[26] = 0x00;
    rec[28] = 0x20;
    TrkCfgControls c = TrkCfgToControls(rec);
    EXPECT_EQ(c.ChannelCountIndex, 4);
    EXPECT_EQ(c.SmallValveOut[0], 14);  // output 15
    EXPECT_EQ(c.LargeValveOut[0], 2);   // output 3
    EXPECT_EQ(c.SmallValveOut[1], 2);
    EXPECT_EQ(c.LargeValveOut[1], 3);
    EXPECT_EQ(c.PumpOut[4], 14);
    EXPECT_EQ(c.HoseValve[1], 1);
    EXPECT_EQ(c.HosePump[1], 1);
    EXPECT_EQ(c.HoseNozzle[3], 3);
    EXPECT_EQ(c.HoseFlowmeter[4], 4);
    EXPECT_EQ(c.HoseSet[0], 29);  // "2+3+4+5"
    EXPECT_EQ(c.HoseSet[1], -1);
    EXPECT_EQ(c.HoseSet[2], -1);
    EXPECT_EQ(c.HoseSet[4], 25);  // 0x0F "1+2+3+4"
    EXPECT_EQ(c.InvNozzle, (std::array<bool, 5>{true, true, true, true, true}));
    EXPECT_EQ(c.InvAvarBtn, (std::array<bool, 2>{false, false}));
    EXPECT_EQ(c.ChannelBoard[0], (std::array<bool, 4>{true, false, false, false}));
    EXPECT_TRUE(c.TrigNozzle[0]);
    EXPECT_EQ(c.ChannelBoard[2], (std::array<bool, 4>{false, false, true, false}));
    EXPECT_FALSE(c.TrigNozzle[2]);
    EXPECT_TRUE(c.TrigNozzle[3]);
}

TEST(TrkCfgControls, BehaviourByte) {
    struct Case { uint8_t byte; bool wait, totals, accuracy, kazakh, vrx; };
    const Case cases[] = {
        {0x24, false, false, false, false, true},  // bit 5 is not shown
        {0x80, true, false, false, false, false},
        {0x40, false, true, false, false, false},
        {0x10, false, false, true, false, false},
        {0x08, false, false, false, true, false},
        {0x03, false, false, false, false, false},
        {0xFF, true, true, true, true, true},
    };
    for (const Case& k : cases) {
        auto rec = Typical;
        rec[2] = k.byte;
        TrkCfgControls c = TrkCfgToControls(rec);
        EXPECT_EQ(c.WaitNozzleFree, k.wait) << int(k.byte);
        EXPECT_EQ(c.DontShowTotals, k.totals) << int(k.byte);
        EXPECT_EQ(c.DoseAccuracy, k.accuracy) << int(k.byte);
        EXPECT_EQ(c.KazakhPrice, k.kazakh) << int(k.byte);
        EXPECT_EQ(c.VrxOverflow, k.vrx) << int(k.byte);
    }
}

// Writing unchanged controls back sends the record as read, except the bits that are
// always written as 0 (offset 1 bit 7, offset 2 bits 0 and 1).
TEST(TrkCfgControls, UnchangedControlsWriteTheRecordBack) {
    struct Case { int offset; uint8_t read, sent; };
    const Case cases[] = {
        {2, 0x24, 0x24}, {2, 0x27, 0x24}, {2, 0xFF, 0xFC}, {1, 0xFF, 0x7F}, {1, 0x60, 0x60},
        {23, 0x70, 0x70}, {25, 0xF5, 0xF5},  // bits 4..6 of a board byte go back as read
        {24, 0x00, 0x00}, {26, 0x20, 0x20},  // a hose set without an item is kept
        {8, 0x0F, 0x0F}, {13, 0x5F, 0x5F},   // so is a number without an item
        {0, 0x00, 0x00}, {0, 0x07, 0x07},    // and a channel count the window cannot offer
    };
    for (const Case& k : cases) {
        auto rec = Typical;
        rec[k.offset] = k.read;
        auto sent = rec;
        ControlsToTrkCfg(TrkCfgToControls(rec), sent);
        auto expected = rec;
        expected[k.offset] = k.sent;
        EXPECT_EQ(ToHex(sent.data(), sent.size()), ToHex(expected.data(), expected.size()))
            << "offset " << k.offset << " read " << int(k.read);
    }
}

TEST(TrkCfgControls, EditedControlsLandInTheirBits) {
    auto rec = Typical;
    rec[27] = 0x7F;
    TrkCfgControls c = TrkCfgToControls(rec);
    c.ChannelCountIndex = 1;
    c.InvNozzle = {false, true, false, false, false};
    c.InvAvarBtn = {true, true};
    c.WaitNozzleFree = true;
    c.DontShowTotals = false;
    c.DoseAccuracy = true;
    c.KazakhPrice = false;
    c.VrxOverflow = false;
    c.SmallValveOut[0] = 14;
    c.LargeValveOut[0] = 2;
    c.PumpOut[1] = 7;
    c.HoseValve[2] = 4;
    c.HoseFlowmeter[2] = 0;
    c.ChannelBoard[2] = {true, true, true, true};
    c.TrigNozzle[2] = true;
    c.HoseSet[1] = 30;
    auto sent = rec;
    ControlsToTrkCfg(c, sent);
    auto expected = rec;
    expected[0] = 0x02;
    expected[1] = 0x62;
    expected[2] = 0x90 | (rec[2] & 0x20);
    expected[3] = 0x2E;
    expected[9] = 0x07;
    expected[17] = 0x24;
    expected[18] = 0x02;  // flowmeter nibble 0, nozzle nibble kept
    expected[27] = 0xFF;  // boards and push button set, bits 4..6 as read
    expected[26] = 0x1F;
    EXPECT_EQ(ToHex(sent.data(), sent.size()), ToHex(expected.data(), expected.size()));
}

TEST(TrkCfgControls, ChannelCountOutsideTheComboShowsNoSelection) {
    struct Case { uint8_t byte; int index; };
    for (auto [byte, index] : {Case{0, -1}, {1, 0}, {5, 4}, {6, -1}, {255, -1}}) {
        auto rec = Typical;
        rec[0] = byte;
        EXPECT_EQ(TrkCfgToControls(rec).ChannelCountIndex, index) << int(byte);
        EXPECT_EQ(TrkCfgChannelCount(rec).value_or(-1), index < 0 ? -1 : index + 1);
    }
}

TEST(SubTrkCfg, TextsOfTheGroup) {
    auto rec = FromHex("05 02 0C 07 41 00 C1 1D");
    auto texts = SubTrkCfgToTexts(std::span<const uint8_t, 8>(rec.data(), 8));
    EXPECT_EQ(texts, (SubTrkCfgTexts{"5", "2", "12", "115200", "65", "На связи", "193",
                                     "Неправильная длина ответа"}));
}

TEST(SubTrkCfg, StateTexts) {
    struct Case { uint8_t state; const char* text; };
    for (auto [state, text] : {Case{0, "На связи"}, {29, "Неправильная длина ответа"},
                               {255, "Нет связи"}, {3, "3"}, {254, "254"}})
        EXPECT_EQ(SubTrkStateText(state), text);
}

TEST(SubTrkCfg, BitRateAndDivisor) {
    struct Case { uint8_t divisor; uint32_t rate; };
    for (auto [divisor, rate] : {Case{7, 115200}, {95, 9600}, {47, 19200}, {23, 38400},
                                 {15, 57600}, {0, 921600}, {255, 3600}})
        EXPECT_EQ(SubTrkBitRate(divisor), rate) << int(divisor);

    struct Text { const char* text; uint8_t divisor; };
    for (auto [text, divisor] : {Text{"9600", 95}, {"19200", 47}, {"38400", 23}, {"57600", 15},
                                 {"115200", 7}, {"12345", 7}, {"", 7}, {"fast", 7},
                                 {" 19200 ", 47}, {"9600x", 7}})
        EXPECT_EQ(SubTrkDivisor(text), divisor) << text;
}

TEST(SubTrkCfg, ValuesToWrite) {
    struct Case { const char *a1, *a2, *rate; std::array<uint8_t, 3> bytes; bool refused; };
    const Case cases[] = {
        {"65", "193", "9600", {65, 193, 95}, false},
        {"", "x", "12345", {0, 0, 7}, false},  // not a number: no sub-controller
        {"0", "255", "57600", {0, 255, 15}, false},
        {"256", "1", "9600", {}, true},
        {"1", "-1", "9600", {}, true},
    };
    for (const Case& k : cases) {
        SubTrkValues v = SubTrkValuesToWrite(k.a1, k.a2, k.rate);
        EXPECT_EQ(!v.Error.empty(), k.refused) << k.a1 << " " << k.a2;
        if (!k.refused) {
            EXPECT_EQ(v.Bytes, k.bytes) << k.a1 << " " << k.a2;
        }
    }
}

TEST(ChannelCount, HeldToTheChannelTables) {
    struct Case { int in, out; };
    for (auto [in, out] : {Case{0, 0}, {5, 5}, {15, 15}, {16, 15}, {255, 15}, {-3, 0}})
        EXPECT_EQ(CappedChannelCount(in), out);
    // The poll schedule's count: no reader is sent past channel 14.
    TDeviceState s;
    s.TrkCfg[0] = 200;
    EXPECT_EQ(s.LogicalChannelCount(), 15);
    s.SubTrkCfg[2] = 40;
    EXPECT_EQ(s.LogicalChannelCount(), 15);
}

// The operations: request bytes, what they keep and show, and the lengths they refuse.
class ConfigRecords : public ::testing::Test, public TScriptedWorker {
protected:
    std::vector<uint8_t> TrkCfgAnswer(const std::array<uint8_t, kTrkCfgSize>& record, int extra = 0) {
        std::vector<uint8_t> a{1, 211, 0, 0};
        a.insert(a.end(), record.begin(), record.end());
        a.resize(a.size() + extra, 0);
        return a;
    }
};

TEST_F(ConfigRecords, ReadTrkCfg) {
    Line.Answer(TrkCfgAnswer(Typical));
    ReadTrkCfg(Worker);
    EXPECT_EQ(Line.LastRequestHex(), "01 D3 04");
    EXPECT_EQ(Worker.PollStatusText, "Чтение конфигурации ТРК...OK");
    EXPECT_EQ(Worker.TrkCfg, Typical);
    EXPECT_EQ(Worker.TrkCfgRead, 1);
    ASSERT_TRUE(Views.TrkCfgShown);
    EXPECT_EQ(*Views.TrkCfgShown, TrkCfgToControls(Typical));
    EXPECT_TRUE(Views.Called("SetChannelCount 5"));
    EXPECT_TRUE(Views.TrkCfgWriteEnabled);
}

TEST_F(ConfigRecords, ReadTrkCfgTakesOnlyTheExactLength) {
    for (int extra : {-1, 1}) {
        TScriptedWorker t;
        t.Line.Answer(TrkCfgAnswer(Typical, extra));
        ReadTrkCfg(t.Worker);
        EXPECT_EQ(t.Worker.TrkCfgRead, 0) << extra;
        EXPECT_EQ(t.Worker.TrkCfg[0], 0) << extra;
        EXPECT_FALSE(t.Views.TrkCfgShown) << extra;
        EXPECT_FALSE(t.Views.Called("SetChannelCount"));
        EXPECT_NE(t.Worker.PollStatusText.find("37"), std::string::npos) << t.Worker.PollStatusText;
    }
}

// The sub-controller page's logical channel count, when set, decides the channel columns.
TEST_F(ConfigRecords, ChannelColumnsFromEitherPage) {
    struct Case { uint8_t logical, count; const char* columns; };
    for (auto [logical, count, columns] : {Case{0, 3, "SetChannelCount 3"}, {7, 3, ""},
                                           {0, 200, "SetChannelCount 15"}}) {
        TScriptedWorker t;
        t.Worker.SubTrkCfg[2] = logical;
        auto record = Typical;
        record[0] = count;
        t.Line.Answer(TrkCfgAnswer(record));
        ReadTrkCfg(t.Worker);
        std::string called;
        for (const auto& call : t.Views.Calls)
            if (call.rfind("SetChannelCount", 0) == 0) called = call;
        EXPECT_EQ(called, columns) << int(logical) << " " << int(count);
    }
}

TEST_F(ConfigRecords, WriteTrkCfgSendsTheStagedRecordAndAsksForItAgain) {
    for (const char* answer : {"01 D2 00", "01 D2 12"}) {
        TScriptedWorker t;
        t.Worker.TrkCfgRead = 1;
        t.Worker.TrkCfg = Typical;
        t.Line.Answer(answer);
        WriteTrkCfg(t.Worker);
        EXPECT_EQ(t.Line.LastRequestHex(), "01 D2 04 " + ToHex(Typical.data(), Typical.size()));
        EXPECT_EQ(t.Worker.TrkCfgRead, 0) << answer;
        EXPECT_EQ(t.Worker.CommandStatusText.rfind("Запись конфигурации ТРК...", 0), 0u);
        EXPECT_EQ(t.Worker.PollStatusText, "");
    }
}

// The main window's channel columns change with the window's write only once the controller
// took the page; a refused or unanswered write leaves them as the controller still has them.
TEST_F(ConfigRecords, WindowWriteSetsTheChannelCountOnlyWhenTaken) {
    for (auto [answer, columns] : {std::pair{"01 D2 00", "SetChannelCount 3"}, {"01 D2 12", ""}, {"", ""}}) {
        TScriptedWorker t;
        t.Worker.TrkCfgRead = 1;
        t.Worker.TrkCfg = Typical;
        t.Worker.TrkCfgControlsToWrite = TrkCfgToControls(Typical);
        t.Worker.TrkCfgControlsToWrite.ChannelCountIndex = 2;
        if (*answer) t.Line.Answer(answer);
        WriteTrkCfgFromWindow(t.Worker);
        std::string called;
        for (const auto& call : t.Views.Calls)
            if (call.starts_with("SetChannelCount")) called = call;
        EXPECT_EQ(called, columns) << answer;
    }
}

TEST_F(ConfigRecords, ReadSubTrkCfg) {
    struct Case { const char* answer; const char* calls; };
    const Case cases[] = {
        {"01 D3 00 05 02 07 07 41 00 C1 1D", "ShowSubTrkCfg|SetChannelCount 7|SetSubTrkCount 2"},
        {"01 D3 00 05 00 00 5F 00 FF 00 FF", "ShowSubTrkCfg|SetSubTrkCount 0"},
        {"01 D3 00 05 01 FF 07 41 03 00 FF", "ShowSubTrkCfg|SetChannelCount 15|SetSubTrkCount 1"},
        {"01 D3 00 05 02 07 07 41 00 C1", ""},           // one byte short
        {"01 D3 00 05 02 07 07 41 00 C1 1D 00", ""},     // one byte long
        {"01 D3 0D", ""},
    };
    for (const Case& c : cases) {
        TScriptedWorker t;
        t.Line.Answer(c.answer);
        ReadSubTrkCfg(t.Worker);
        EXPECT_EQ(t.Line.LastRequestHex(), "01 D3 00");
        std::string calls;
        for (const auto& call : t.Views.Calls)
            if (call.rfind("SetStatusText", 0) && call.rfind("SetErrorText", 0)) calls += (calls.empty() ? "" : "|") + call;
        EXPECT_EQ(calls, c.calls) << c.answer;
        auto data = FromHex(c.answer);
        bool kept = !std::string(c.calls).empty();
        EXPECT_EQ(t.Worker.SubTrkCfg[0], kept ? 5 : 0) << c.answer;
        if (kept) {
            EXPECT_EQ(*t.Views.SubTrkCfgShown, SubTrkCfgToTexts(std::span<const uint8_t, 8>(data.data() + 3, 8)));
        }
    }
}

TEST_F(ConfigRecords, WriteSubTrkCfg) {
    Worker.SubTrk1AddressToWrite = 65;
    Worker.SubTrk2AddressToWrite = 193;
    Worker.SubTrkBitRateDivisorToWrite = 7;
    Line.Answer("01 D2 00");
    WriteSubTrkCfg(Worker);
    EXPECT_EQ(Line.LastRequestHex(), "01 D2 00 41 C1 07");
    EXPECT_EQ(Worker.PollStatusText, "Запись конфигурации ТРК...OK");
    EXPECT_EQ(Worker.CommandStatusText, "");
}

}  // namespace
