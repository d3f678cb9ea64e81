// Status readers: request bytes, what each answer shows in the windows, and the answers
// that must show nothing.
#include <gtest/gtest.h>

#include <algorithm>

#include <array>
#include <string>
#include <vector>

#include "link/FuelNameCodes.h"
#include "commands/StatusReaders.h"
#include "commands/TabloState.h"
#include "engine/OperationPattern.h"
#include "link/UserFormats.h"
#include "tests/support/HexBytes.h"
#include "tests/support/ScriptedLine.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Answer(uint8_t command, const Bytes& data, uint8_t result = 0) {
    // Sized up front: inserting behind an initializer list trips a false bounds warning of GCC 12.
    Bytes a(3 + data.size());
    a[0] = 1;
    a[1] = command;
    a[2] = result;
    std::copy(data.begin(), data.end(), a.begin() + 3);
    return a;
}

// Answer of command 209: one byte the tool does not read, then the block.
template <size_t N>
Bytes BlockAnswer(const std::array<uint8_t, N>& block) {
    Bytes data{0};
    data.insert(data.end(), block.begin(), block.end());
    return Answer(209, data);
}

void PutU64(uint8_t* p, uint64_t v) {
    PutU32(p, uint32_t(v));
    PutU32(p + 4, uint32_t(v >> 32));
}

class StatusReaders : public ::testing::Test, public TScriptedWorker {
protected:
    void SetUp() override {
        UserFormats formats;
        formats.DecimalSeparator = ",";
        SetUserFormats(formats);
    }
    void TearDown() override { SetUserFormats(UserFormats{}); }
};

TEST_F(StatusReaders, RequestBytesAndStatusTexts) {
    struct Case {
        void (*op)(TComThread&);
        int channel;
        const char* request;
        const char* describe;
    };
    const Case cases[] = {
        {ReadFirmwareMd5, 0, "01 00 03", "Чтение информации об устройстве"},
        {ReadChannelState, 3, "01 D1 03 01", "Чтение блока данных"},
        {ReadPumpRampUpTime, 14, "01 D1 0E 02", "Чтение блока данных"},
        {ReadFlowmeterState, 9, "01 D1 09 03", "Чтение блока данных"},
        {ReadTabloState, 2, "01 D7 01 02", "Чтение времени шага теста табло"},
        {ReadTabloState, 5, "01 D7 02 05", "Чтение времени шага теста табло"},
    };
    for (const Case& c : cases) {
        Worker.CurrentChannel = c.channel;
        Worker.PollStatusText.clear();
        Line.Answer(Answer(0, {}, 13));
        c.op(Worker);
        EXPECT_EQ(Line.LastRequestHex(), c.request);
        EXPECT_EQ(Worker.PollStatusText, std::string(c.describe) + "...Ошибка 13: Неизвестный запрос");
        EXPECT_EQ(Worker.CommandStatusText, "");
    }
    // A refused request shows nothing and sets no flag.
    EXPECT_TRUE(Views.ChCells.empty());
    EXPECT_TRUE(Views.TabloCells.empty());
    EXPECT_EQ(Worker.Md5Read, 0);
}

TEST_F(StatusReaders, FirmwareMd5) {
    Line.Answer("01 00 00 3A 7F 10 C2 5E 91 0B D4 66 28 E3 4D 8C 01 B9 75");
    ReadFirmwareMd5(Worker);
    EXPECT_EQ(Views.Trk(2), "3A7F10C25E910BD46628E34D8C01B975");
    EXPECT_EQ(Worker.Md5Read, 1);
    EXPECT_EQ(Views.LastStatus(), "Чтение информации об устройстве...OK");

    TScriptedWorker other;
    other.Line.Answer("01 00 00 3A 7F 10 C2 5E 91 0B D4 66 28 E3 4D 8C 01 B9");
    ReadFirmwareMd5(other.Worker);
    EXPECT_EQ(other.Views.Trk(2), "");
    EXPECT_EQ(other.Worker.Md5Read, 0);
}

struct ChannelBlock {
    std::array<uint8_t, 86> b{};
    ChannelBlock() {
        b[0] = 0x50;
        PutU32(&b[1], 12345);   // loaded volume
        PutU32(&b[5], 12345);   // loaded money
        b[9] = 4;
        PutU32(&b[10], 500);
        PutU32(&b[14], 100000);
        b[18] = 7;              // a source the tool does not know
        PutU32(&b[19], 1);
        PutU32(&b[23], 5);
        PutU64(&b[27], (uint64_t(1) << 63) + 1000);
        PutU32(&b[35], 20);
        PutU32(&b[39], 250);
        b[43] = 17;
        b[46] = 0xFF; b[47] = 0x80; b[48] = 0x01;
        b[49] = 0x00; b[50] = 0x00; b[51] = 0xFE;
        b[52] = 0x73; b[53] = 0x3E; b[54] = 0x79;
        PutU32(&b[66], 3000);
        PutU32(&b[70], 4000);
        PutU32(&b[74], 5500);
        PutU64(&b[78], 4294967296ull);
    }
};

TEST_F(StatusReaders, ChannelStateShowsEveryRow) {
    Worker.CurrentChannel = 2;
    ChannelBlock block;
    Line.Answer(BlockAnswer(block.b));
    ReadChannelState(Worker);

    struct Row { int row; const char* text; };
    const Row rows[] = {
        {6, "12,345"}, {7, "123,45"}, {8, "VRX2.0-протокол"}, {9, "0,5"}, {10, "1000"},
        {11, "7"}, {12, "0,001"}, {13, "0,05"}, {14, "0,02"}, {16, "3"}, {17, "5,5"},
        {18, "4"}, {19, "42949672,96"}, {21, "2,5"}, {26, "17"},
    };
    for (const Row& r : rows) EXPECT_EQ(Views.Ch(r.row, 2), r.text) << "row " << r.row;
    // 2^63 + 1000 ml: far beyond a signed total, still a positive number of litres.
    EXPECT_EQ(Views.Ch(15, 2).rfind("9,22337203685", 0), 0u) << Views.Ch(15, 2);

    const int images[] = {Images::RedCross, Images::None, Images::None, Images::None, Images::None,
                          Images::GreenCheck};
    for (int row = 0; row < 6; ++row) EXPECT_EQ((Views.ChImages[{row, 2}]), images[row]) << "row " << row;

    EXPECT_EQ(Views.Window.LiftedNozzleColour[2], 0x0180FFu);
    EXPECT_EQ(Views.Window.RestingNozzleColour[2], 0xFE0000u);
    EXPECT_TRUE(Views.Called("DrawNozzleColour 2 0"));
    EXPECT_TRUE(Views.Called("DrawNozzleColour 2 1"));
    EXPECT_EQ(Views.Window.FuelNames[2], "PUE           ");
    EXPECT_TRUE(Views.Called("ShowFuelName 2"));
    EXPECT_EQ(Views.Window.KnownPrices[2], 250u);
    EXPECT_EQ(Views.Window.KnownPriceMask, 1u << 2);
    EXPECT_EQ(Worker.ChannelState[2], block.b);
}

TEST_F(StatusReaders, StatusBitsChooseTheImages) {
    struct Case { uint8_t status; std::array<int, 6> images; };
    constexpr int R = Images::RedCross, G = Images::GreenCheck, K = Images::GreyCheck, N = Images::None;
    const Case cases[] = {
        {0x00, {K, N, N, N, N, N}}, {0x50, {R, N, N, N, N, G}}, {0x0E, {K, R, R, R, N, N}},
        {0x20, {K, N, N, N, G, N}}, {0x81, {K, N, N, N, N, N}}, {0xFF, {R, R, R, R, G, G}},
    };
    for (const Case& c : cases) {
        ChannelBlock block;
        block.b[0] = c.status;
        Line.Answer(BlockAnswer(block.b));
        ReadChannelState(Worker);
        for (int row = 0; row < 6; ++row)
            EXPECT_EQ((Views.ChImages[{row, 0}]), c.images[row]) << int(c.status) << " row " << row;
    }
}

TEST_F(StatusReaders, PriceFollowsTheWholeUnitsSetting) {
    struct Case { bool wholeUnits; uint32_t price; const char* text; };
    for (auto [whole, price, text] : {Case{true, 250, "250"}, {false, 250, "2,5"}, {false, 4999, "49,99"},
                                      {true, 4294967295u, "4294967295"}, {false, 0, "0"}}) {
        Views.KazakhPrice = whole;
        ChannelBlock block;
        PutU32(&block.b[39], price);
        Line.Answer(BlockAnswer(block.b));
        ReadChannelState(Worker);
        EXPECT_EQ(Views.Ch(21, 0), text);
        EXPECT_EQ(Views.Window.KnownPrices[0], price);
    }
}

TEST_F(StatusReaders, ChannelStateAnswerLength) {
    struct Case { int extra; bool shown; };
    for (auto [extra, shown] : {Case{0, true}, {-1, false}, {5, true}}) {
        TScriptedWorker t;
        ChannelBlock block;
        Bytes answer = BlockAnswer(block.b);
        answer.resize(answer.size() + extra, 0);
        t.Line.Answer(answer);
        ReadChannelState(t.Worker);
        EXPECT_EQ(!t.Views.Ch(6, 0).empty(), shown) << answer.size();
        EXPECT_EQ(t.Worker.ChannelState[0][0] == 0x50, shown);
        EXPECT_EQ(t.Views.Window.KnownPriceMask != 0, shown);
        if (!shown) {
            EXPECT_NE(t.Worker.PollStatusText.find("90"), std::string::npos) << t.Worker.PollStatusText;
        }
    }
}

// A channel beyond the tables (a controller that reports too many channels) is asked,
// but nothing is stored or shown for it.
TEST_F(StatusReaders, ChannelBeyondTheTablesIsNotStored) {
    for (auto op : {ReadChannelState, ReadPumpRampUpTime, ReadFlowmeterState}) {
        Worker.CurrentChannel = 15;
        Line.Answer(BlockAnswer(std::array<uint8_t, 86>{0x50}));
        op(Worker);
        EXPECT_EQ(Worker.PollStatusText, "Чтение блока данных...OK");
    }
    EXPECT_TRUE(Views.ChCells.empty());
    EXPECT_TRUE(Views.FlowCells.empty());
    EXPECT_EQ(Views.Window.KnownPriceMask, 0u);
}

TEST_F(StatusReaders, PumpRampUpTime) {
    Worker.CurrentChannel = 4;
    Line.Answer("01 D1 00 00 E8 FD");
    ReadPumpRampUpTime(Worker);
    EXPECT_EQ(Views.Ch(22, 4), "65000");
    EXPECT_EQ(Worker.PumpRampUpTime[4], 65000);

    Line.Answer("01 D1 00 00 E8");
    ReadPumpRampUpTime(Worker);
    EXPECT_EQ(Worker.PumpRampUpTime[4], 65000);
    EXPECT_NE(Worker.PollStatusText.find("6"), std::string::npos);
}

TEST_F(StatusReaders, FlowmeterState) {
    std::array<uint8_t, 46> b{};
    PutU32(&b[0], 10250);
    b[6] = 3;
    b[7] = 125;
    PutU16(&b[8], 42);
    PutU32(&b[10], 1500);
    PutU32(&b[14], 7);
    PutU64(&b[18], 123456789);
    PutU32(&b[26], 1000);
    PutU32(&b[30], 2000);
    PutU32(&b[34], 3000);
    PutU64(&b[38], 99);
    Worker.CurrentChannel = 12;
    Line.Answer(BlockAnswer(b));
    ReadFlowmeterState(Worker);

    struct Row { int row; const char* text; };
    for (auto [row, text] : {Row{0, "10250"}, {1, "12,5"}, {4, "42"}, {5, "1,5"}, {6, "0,007"},
                             {7, "123456,789"}, {8, "1"}, {9, "3"}, {10, "2"}, {11, "0,99"}, {12, "Крипто"}})
        EXPECT_EQ(Views.FlowCell(row, 12), text) << "row " << row;
    EXPECT_EQ(Views.ReportedFlowmeterTypes[12], 3);
    EXPECT_EQ(Views.FlowCell(2, 12), "");  // crypto rows are another reader's
}

TEST_F(StatusReaders, FlowmeterTypeNames) {
    struct Case { uint8_t type; const char* text; };
    for (auto [type, text] : {Case{0, "---"}, {1, "2х-канальный"}, {2, "Квадратурный"}, {3, "Крипто"},
                              {4, "LPGmass"}, {5, "5"}, {255, "255"}}) {
        std::array<uint8_t, 46> b{};
        b[6] = type;
        Line.Answer(BlockAnswer(b));
        ReadFlowmeterState(Worker);
        EXPECT_EQ(Views.FlowCell(12, 0), text);
        EXPECT_EQ(Views.ReportedFlowmeterTypes[0], type);
    }
    Line.Answer(Answer(209, Bytes(46, 0)));  // 49 bytes: the block one byte short
    ReadFlowmeterState(Worker);
    EXPECT_NE(Worker.PollStatusText.find("50"), std::string::npos) << Worker.PollStatusText;
}

// Answer of command 215: bytes 3, 4 unread, type, temperature, offset, firmware, correction.
Bytes TabloAnswer(uint8_t type, uint8_t temperature, uint8_t offset, Bytes firmware, Bytes correction) {
    Bytes data{0, 0, type, temperature, offset};
    data.insert(data.end(), firmware.begin(), firmware.end());
    data.insert(data.end(), correction.begin(), correction.end());
    return Answer(215, data);
}

TEST_F(StatusReaders, DisplayBoardState) {
    struct Case {
        uint8_t type, temperature, offset;
        Bytes firmware, correction;
        std::vector<std::string> rows;  // rows 0..10
    };
    const Case cases[] = {
        {0, 0x80, 0x02, {1, 3, 9, 4, 21}, {127, 255, 0, 250, 255, 0},
         {"LED", "v3.1", "09.04.2021", "---", "2°C", "50%", "100%", "0%", "-5", "0", "1"}},
        {1, 0xFB, 0x81, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0},
         {"LCD", "---", "---", "-5°C", "-127°C", "0%", "0%", "0%", "1", "1", "1"}},
        {2, 25, 0, {5, 2, 1, 2, 13}, {127, 127, 127, 1, 1, 1},
         {"---", "v2.5", "01.02.2013", "25°C", "0°C", "", "", "", "", "", ""}},
    };
    for (const Case& c : cases) {
        Worker.CurrentChannel = 3;
        Line.Answer(TabloAnswer(c.type, c.temperature, c.offset, c.firmware, c.correction));
        ReadTabloState(Worker);
        for (int row = 0; row <= 10; ++row)
            EXPECT_EQ(Views.TabloCell(row, 3), c.rows[row]) << "type " << int(c.type) << " row " << row;
        EXPECT_EQ(Worker.TabloType[3], c.type);
        Bytes stored(Views.ColourCorrections[3].begin(), Views.ColourCorrections[3].end());
        EXPECT_EQ(stored, c.correction);
    }
}

TEST_F(StatusReaders, KeyboardState) {
    struct Case { uint8_t type; const char* text; };
    for (auto [type, text] : {Case{255, "---"}, {7, "7"}, {0, "0"}}) {
        Worker.CurrentChannel = 5;
        Line.Answer(TabloAnswer(type, 30, 0xFF, {4, 2, 31, 12, 99}, {0}));  // 14 bytes are enough
        ReadTabloState(Worker);
        EXPECT_EQ(Views.TabloCell(0, 5), text);
        EXPECT_EQ(Views.TabloCell(1, 5), "v2.4");
        EXPECT_EQ(Views.TabloCell(2, 5), "31.12.2099");
        EXPECT_EQ(Views.TabloCell(3, 5), "30°C");
        EXPECT_EQ(Views.TabloCell(4, 5), "-1°C");
        EXPECT_EQ(Views.TabloCell(5, 5), "");
        EXPECT_EQ(Worker.TabloType[5], type);
    }
    EXPECT_TRUE(Views.ColourCorrections.empty());
}

TEST_F(StatusReaders, DisplayDeviceAnswerLengths) {
    struct Case { int device; int dataBytes; bool shown; const char* needed; };
    for (auto [device, bytes, shown, needed] : {Case{0, 16, true, ""}, {0, 15, false, "19"},
                                                {4, 11, true, ""}, {6, 10, false, "14"}}) {
        TScriptedWorker t;
        t.Worker.CurrentChannel = device;
        t.Line.Answer(Answer(215, Bytes(bytes, 1)));
        ReadTabloState(t.Worker);
        EXPECT_EQ(!t.Views.TabloCell(0, device).empty(), shown) << device << " " << bytes;
        if (!shown) {
            EXPECT_NE(t.Worker.PollStatusText.find(needed), std::string::npos) << t.Worker.PollStatusText;
        }
    }
    // A device index beyond the keyboards is asked as a keyboard but shows nothing. A worker of
    // its own: each one above put its own line into the port.
    TScriptedWorker t;
    t.Worker.CurrentChannel = 7;
    t.Line.Answer(Answer(215, Bytes(16, 1)));
    ReadTabloState(t.Worker);
    EXPECT_EQ(t.Line.LastRequestHex(), "01 D7 02 07");
    EXPECT_TRUE(t.Views.TabloCells.empty());
}

TEST(ColourCorrection, TypedValuesAndTheirTexts) {
    struct Coefficient { const char* typed; uint8_t stored; const char* shown; };
    for (auto [typed, stored, shown] : {Coefficient{"50%", 127, "50%"}, {"100", 255, "100%"}, {"0", 0, "0%"},
                                        {"150", 255, "100%"}, {"", 255, "100%"}, {"1", 1, "1%"},
                                        {"99999999999999999999", 255, "100%"}}) {
        EXPECT_EQ(CoefficientFromText(typed), stored) << typed;
        EXPECT_EQ(CoefficientText(stored), shown) << typed;
    }
    struct Offset { const char* typed; uint8_t stored; const char* shown; };
    for (auto [typed, stored, shown] : {Offset{"1", 0, "1"}, {"0", 255, "0"}, {"-5", 250, "-5"},
                                        {"x", 255, "0"}, {"127", 126, "127"}, {"128", 126, "127"},
                                        {"-128", 127, "-128"}, {"-300", 127, "-128"}}) {
        EXPECT_EQ(OffsetFromText(typed), stored) << typed;
        EXPECT_EQ(OffsetText(stored), shown) << typed;
    }
}

TEST(FuelNameCodes, Decoding) {
    struct Case { Bytes codes; const char* text; };
    const Case cases[] = {
        {{0x73, 0x3E, 0x79}, "PUE           "},
        {{0x6D}, "5             "},                    // "5" and "S" share a code
        {{0x37, 0x40, 0x6F, 0x6D}, "П-95          "},
        {{0x01, 0x80, 0xFF, 0x20}, "              "},  // codes without a character
        {{0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F, 0x77, 0x7C, 0x39, 0x58}, "0123456789AbCc"},
    };
    for (const Case& c : cases) {
        std::array<uint8_t, FuelNameLength> codes{};
        std::copy(c.codes.begin(), c.codes.end(), codes.begin());
        EXPECT_EQ(DecodeFuelName(codes), c.text);
    }
}

TEST(FuelNameCodes, Encoding) {
    struct Case { const char* text; const char* codes; };
    const Case cases[] = {
        {"A-95", "77 40 6F 6D 00 00 00 00 00 00 00 00 00 00"},
        {"B", "20 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {"SПo", "6D 37 5C 00 00 00 00 00 00 00 00 00 00 00"},
        {"Бензин", "20 20 20 20 20 20 00 00 00 00 00 00 00 00"},
        {"0123456789AbCdEF", "3F 06 5B 4F 66 6D 7D 07 7F 6F 77 7C 39 5E"},
        {"", "00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
    };
    for (const Case& c : cases) {
        std::array<uint8_t, FuelNameLength> codes{};
        EncodeFuelName(c.text, codes);
        EXPECT_EQ(ToHex(codes.data(), codes.size()), c.codes) << c.text;
    }
    // Every character of the table survives the round trip, except "S", which reads as "5".
    for (const DisplayCode& entry : DisplayCodeTable()) {
        std::array<uint8_t, FuelNameLength> codes{};
        EncodeFuelName(entry.Char, codes);
        EXPECT_EQ(DecodeFuelName(codes).substr(0, entry.Char.size()), entry.Char == "S" ? "5" : entry.Char);
    }
}

}  // namespace
