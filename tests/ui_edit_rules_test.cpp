// The main window's edit checks without widgets: typed text in, message or request bytes out.
#include <gtest/gtest.h>

#include <climits>
#include <map>

#include "tests/support/ScriptedWorker.h"
#include "ui/main/EditRules.h"

namespace {

// What an outcome leads to: the message, or the request its operation sends once staged.
std::string Sent(const EditOutcome& outcome) {
    if (!outcome.Error.empty()) return outcome.Error;
    if (!outcome.Accepted()) return "(nothing)";
    ScriptedWorker w;
    outcome.Stage(*w);
    return w.Run(outcome.Write, "01 00 00");
}

TEST(ParseFixedPoint, ReadsDecimalTextIntoWholeUnits) {
    struct Case {
        const char* text;
        int decimals;
        int value;
    };
    const Case cases[] = {
        {"12", 2, 1200},       {"12,5", 2, 1250},      {"12.345", 2, 1234},   {"1 000", 2, 100000},
        {"12x", 2, -1},        {"12, 5", 2, 125},      {"-1", 2, -1},         {"12,5", 0, 12},
        {"0,333", 3, 333},     {"5", 9, 0},            {"", 2, -1},            {"21474836,47", 2, INT_MAX},
        {"21474836,48", 2, -1}, {"99999999999", 0, -1}, {"2147483648", 0, -1}, {"1,5л", 3, -1},
        {" ", 2, -1},          {",", 2, -1},           {" , ", 3, -1},        {",5", 2, 50},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseFixedPoint(c.text, c.decimals), c.value) << c.text;
}

TEST(TrkEditRules, EachRowChecksAndSendsItsValue) {
    const std::string group = "01 FA 1E 19 14 0A 05 32 00 2C 01 64 00 05 00 00 00 00 32 00 03";
    const std::map<int, std::string> shown = {
        {12, "30"}, {13, "2,5"}, {14, "20"}, {15, "10"}, {16, "5"}, {17, "50"}, {18, "300"},
        {19, "100"}, {20, "5"}, {21, "0"}, {22, "50"}, {23, "3"}, {32, "10"}, {33, "19200"}, {34, "50"},
    };
    struct Case {
        int row;
        const char* typed;
        std::string sent;
    };
    const Case cases[] = {
        {10, "500", "01 DA F4 01"},
        {10, "65536", "Отсечка табло должна быть от 0 до 65535 мл"},
        {11, "5", "Время шага теста табло должно быть от 10 до 2550 мс"},
        {11, "25", "01 D6 02"},  // within 10..2550; sent in whole tens
        {11, "2550", "01 D6 FF"},
        {11, "1234", "01 D6 7B"},
        {12, "256", "Таймаут расходомера должен быть от 0 до 255 секунд"},
        {12, "31", "01 FA 1F"},
        {13, "0,05", "Таймаут основного клапана должен быть от 0,1 до 25,5 секунд"},
        {13, "25,5", "01 FA 1E FF 14 0A 05 32 00 2C 01 64 00 05 00 00 00 00 32 00 03"},
        {13, "0,7", "01 FA 1E 07 14 0A 05 32 00 2C 01 64 00 05 00 00 00 00 32 00 03"},
        {13, "abc", "Таймаут основного клапана должен быть от 0,1 до 25,5 секунд"},
        {14, "2,5", "Порог включения основного клапана должен быть от 1 до 255 импульсов"},
        {17, "65536", "Макс. утечка расходомера должна быть от 0 до 65 литров"},
        {20, "", "Время минимальная скорость должна быть от 0 до 255 с"},
        {21, "1000", "01 FA 1E 19 14 0A 05 32 00 2C 01 64 00 05 40 42 0F 00 32 00 03"},
        {21, "1000,001", "Макс.доза ручного налива должна быть от 0 до 1000 л"},
        {21, "abc", "Макс.доза ручного налива должна быть от 0 до 1000 л"},
        {21, "", "Макс.доза ручного налива должна быть от 0 до 1000 л"},
        {23, "3", group},
        {24, "0", "Адрес должен быть от 1 до 254"},
        {24, "255", "Адрес должен быть от 1 до 254"},
        {24, "7", "01 E8 01 07"},
        {26, "31", "Громкость должна быть от 0 до 30"},
        {26, "15", "01 E8 03 0F"},
        {32, "255", "Адрес должен быть от 1 до 254"},
        {33, "4800", "Скорость обмена должна быть от 9600 до 115200"},
        {33, "abc", "Скорость обмена должна быть от 9600 до 115200"},
        {33, "115200", "01 E8 05 0A 07 32"},
        {34, "300", "Степень открытия должна быть от 0 до 100"},
        {34, "", "Степень открытия должна быть от 0 до 100"},
        {25, "1", "(nothing)"},
    };
    for (const Case& c : cases) {
        std::map<int, std::string> cells = shown;
        cells[c.row] = c.typed;
        EXPECT_EQ(Sent(CheckTrkEdit(c.row, [&](int row) { return cells[row]; })), c.sent)
            << c.row << " " << c.typed;
    }
    // A group row the controller did not report fails every edit of the group.
    std::map<int, std::string> cells = shown;
    cells.erase(22);
    EXPECT_EQ(Sent(CheckTrkEdit(14, [&](int row) { return cells[row]; })),
              "Минимальная скорость должна быть от 0 до 65535 мл/с");
}

TEST(ChannelEditRules, EachRowChecksItsChannelAndValue) {
    struct Case {
        int row, channel;
        const char* typed;
        bool wholeUnits;
        std::string sent;
    };
    const Case cases[] = {
        {21, 2, "12,5", false, "01 CD 02 E2 04 00 00"},
        {21, 2, "12,5", true, "Неправильная цена"},
        {21, 2, "54", true, "01 CD 02 36 00 00 00"},
        {21, 2, "-5", true, "Неправильная цена"},
        {21, 2, "abc", false, "Неправильная цена"},
        // A price cell is empty until the first reading: one click and Enter must not zero it.
        {21, 2, "", false, "Неправильная цена"},
        {21, 2, " ", false, "Неправильная цена"},
        {21, 2, ",", false, "Неправильная цена"},
        {21, 2, "", true, "Неправильная цена"},
        {21, 2, "+", true, "Неправильная цена"},
        {21, 2, "-", true, "Неправильная цена"},
        {21, 15, "1", false, "Неправильный номер канала"},
        {22, 5, "100", false, "Неправильный номер канала"},
        {22, 1, "65536", false, "Время разгона насоса должно быть от 0 до 65535 мс"},
        {22, 1, "1500", false, "01 E0 01 DC 05"},
        {26, 2, "257", false, "Адрес должен быть от 1 до 225"},
        {26, 2, "x", false, "Адрес должен быть от 1 до 225"},
        {26, 14, "225", false, "01 22 0E 01 E1"},
        {23, 0, "A-95", false, "01 E2 00 77 40 6F 6D 00 00 00 00 00 00 00 00 00 00"},
        {23, 15, "A", false, "Неправильный номер канала"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Sent(CheckChEdit(c.row, c.channel, c.typed, c.wholeUnits)), c.sent) << c.row << " " << c.typed;
    // The price goes into the window's table; the fuel name back into its cell as the boards show it.
    EXPECT_EQ(CheckChEdit(21, 0, "49,99", false).Value, 4999u);
    EXPECT_EQ(CheckChEdit(23, 0, "A-95", false).Text, "A-95          ");
}

TEST(ValveEditRules, RowsAddressTheBoardsOfTheirChannels) {
    struct Case {
        int row, column;
        const char* typed;
        std::string sent;
    };
    const Case cases[] = {
        {1, 2, "300", "01 DE 02 2C 01"},
        {2, 0, "100", "41 DE 00 64 00"},  // channel 6 on the first sub-controller board
        {1, 0, "70000", "Снижение должно быть от 0 до 65535 мл"},
        {1, 0, "-1", "Снижение должно быть от 0 до 65535 мл"},
        {3, 0, "100", "(nothing)"},
        {2, 10, "100", "Неправильный номер канала"},
    };
    for (const Case& c : cases) EXPECT_EQ(Sent(CheckValveEdit(c.row, c.column, c.typed)), c.sent) << c.row;
}

TEST(NozzleColourRules, BothColoursOfTheChannelTravelRedFirst) {
    TMainWindowState window;
    window.LiftedNozzleColour[4] = 0x0000FF;   // red
    window.RestingNozzleColour[4] = 0x00FF00;  // green
    EXPECT_EQ(Sent(CheckNozzleColours(4, window)), "01 E2 04 FF 00 00 00 FF 00");
    EXPECT_EQ(Sent(CheckNozzleColours(15, window)), "Неправильный номер канала");
}

}  // namespace
