#include <gtest/gtest.h>

#include <map>

#include "commands/PeripheralCommands.h"
#include "engine/DeviceTypes.h"
#include "tests/support/HexBytes.h"
#include "tests/support/ScopedUserFormats.h"
#include "tests/support/ScriptedWorker.h"

namespace {

// A Russian desktop: decimal comma.
class PeripheralTest : public ::testing::Test {
    ScopedDecimalSeparator comma_{","};
};

using Rows = std::map<int, std::string>;

Rows TrkRows(const TRecordingViews& v, int first, int last) {
    Rows rows;
    for (int r = first; r <= last; ++r) rows[r] = v.Trk(r);
    return rows;
}

// Sound generator answer: state, volume, -, files, current file, folders, address, -, type, firmware.
std::string SoundGenAnswer(const char* state) {
    return std::string("01 E8 00 ") + state + " 0F 00 2C 01 07 00 03 11 00 21 00 05 02 01 02 0D";
}

TEST_F(PeripheralTest, SoundGeneratorStates) {
    const std::string dashes[] = {"---", "---", "---", "---", "---", "---"};
    const std::string details[] = {"15", "300", "7", "3", DeviceTypeText(33), "v2.5 от 01.02.2013"};
    struct Case {
        const char* State;
        std::string Text;
        const std::string* Details;
    };
    const Case cases[] = {
        {"00", "Выключен", dashes},
        {"01", "Инициализация", dashes},
        {"02", "Стоп", details},
        {"03", "Проигрывание", details},
        {"04", "Пауза", details},
        {"05", "Нет MicroSD-карты", details},
        {"07", "Unknown Status 7", details},
        {"FF", "Нет связи", dashes},
    };
    for (const Case& c : cases) {
        ScriptedWorker w;
        EXPECT_EQ(w.Run(ReadSoundGenStatus, SoundGenAnswer(c.State)), "01 E8 00");
        EXPECT_EQ(w.Views.Trk(PeripheralRow::SoundAddress), "17") << c.State;
        EXPECT_EQ(w.Views.Trk(PeripheralRow::SoundState), c.Text);
        for (int row = PeripheralRow::Volume; row <= PeripheralRow::SoundFirmware; ++row)
            EXPECT_EQ(w.Views.Trk(row), c.Details[row - PeripheralRow::Volume]) << c.State << " row " << row;
    }
}

TEST_F(PeripheralTest, ShortSoundGeneratorAnswerShowsNothing) {
    ScriptedWorker w;
    std::string answer = SoundGenAnswer("02");
    answer.resize(answer.size() - 3);  // 19 bytes
    w.Run(ReadSoundGenStatus, answer);
    EXPECT_TRUE(w.Views.TrkCells.empty());
    EXPECT_EQ(w->SoundGen.FileCount, 0);
    EXPECT_NE(w.Views.LastStatus().find("Должно быть 20"), std::string::npos) << w.Views.LastStatus();
}

// Valve status: -, address, divisor, opening, temperature, mV, five currents, five states.
std::string ValveAnswer(const char* divisor, const char* temperature, const char* states) {
    return std::string("01 E8 00 00 05 ") + divisor + " 4B " + temperature + " 39 30 DC 05 DC 05 DC 05 DC 05 00 00 " +
           states;
}

TEST_F(PeripheralTest, ValveControllerStatus) {
    struct Case {
        std::string Answer;
        Rows Expected;                    // TRK_StatusListView rows 32..36
        std::array<std::string, 5> Currents;
    };
    const Case cases[] = {
        {ValveAnswer("07", "19", "00 01 02 03 00"),
         {{32, "5"}, {33, "115200"}, {34, "75"}, {35, "25°C"}, {36, "12,3"}},
         {"1,5", "1,5 !!!", "КЗ", "1,5", "0"}},
        {ValveAnswer("00", "81", "00 00 00 00 02"),
         {{32, "5"}, {33, "921600"}, {34, "75"}, {35, "---"}, {36, "---"}},
         {"1,5", "1,5", "1,5", "1,5", "КЗ"}},  // no sensor, but the currents are real
        {ValveAnswer("5F", "80", "01 02 00 00 00"),
         {{32, "5"}, {33, "9600"}, {34, "75"}, {35, "---"}, {36, "---"}},
         {"---", "---", "---", "---", "---"}},  // no controller at all
        {ValveAnswer("FF", "F6", "00 00 00 00 00"),
         {{32, "5"}, {33, "3600"}, {34, "75"}, {35, "-10°C"}, {36, "12,3"}},
         {"1,5", "1,5", "1,5", "1,5", "0"}},
    };
    for (const Case& c : cases) {
        ScriptedWorker w;
        EXPECT_EQ(w.Run(ReadValveControllerStatus, c.Answer), "01 E8 06");
        EXPECT_EQ(TrkRows(w.Views, 32, 36), c.Expected) << c.Answer;
        for (int i = 0; i < 5; ++i) EXPECT_EQ(w.Views.Valve(PeripheralRow::ValveCurrent, i), c.Currents[i]) << c.Answer;
    }

    ScriptedWorker shortAnswer;
    std::string answer = ValveAnswer("07", "19", "00 00 00 00 00");
    shortAnswer.Run(ReadValveControllerStatus, answer.substr(0, answer.size() - 3));
    EXPECT_TRUE(shortAnswer.Views.TrkCells.empty());
    EXPECT_TRUE(shortAnswer.Views.ValveCells.empty());
}

TEST_F(PeripheralTest, ValveControllerIdentity) {
    struct Case {
        std::string Answer;
        std::string Type, Firmware;
    };
    const Case cases[] = {
        // 2 days after 2000-01-01, exactly at midnight: the date alone.
        {"01 59 00 00 00 00 21 00 05 02 00 A3 02 00", DeviceTypeText(33), "v2.5 от 03.01.2000"},
        // One second later the time follows.
        {"01 59 00 00 00 00 21 00 05 02 01 A3 02 00", DeviceTypeText(33), "v2.5 от 03.01.2000 00:00:01"},
        {"01 59 00 00 00 00 21 00 00 00 00 A3 02 00", DeviceTypeText(33), "--- от 03.01.2000"},
        {"01 59 00 00 00 00 00 00 05 02 01 A3 02 00", "---", "---"},  // no valve controller
    };
    for (const Case& c : cases) {
        ScriptedWorker w;
        EXPECT_EQ(w.Run(ReadValveControllerInfo, c.Answer), "01 59 05 03 00");
        EXPECT_EQ(w.Views.Trk(PeripheralRow::ValveDeviceType), c.Type) << c.Answer;
        EXPECT_EQ(w.Views.Trk(PeripheralRow::ValveFirmware), c.Firmware) << c.Answer;
    }
    ScriptedWorker shortAnswer;
    shortAnswer.Run(ReadValveControllerInfo, "01 59 00 00 00 00 21 00 05 02 01 A3 02");
    EXPECT_TRUE(shortAnswer.Views.TrkCells.empty());
    EXPECT_EQ(shortAnswer->ValveControllerInfo[0], 0);
}

TEST_F(PeripheralTest, WritersSendTheStagedValuesAndReportInThePollPanel) {
    struct Case {
        Op Operation;
        void (*Stage)(TComThread&);
        std::string Request;
        std::string Status;
    };
    const Case cases[] = {
        {WriteSoundGenAddress, [](TComThread& w) { w.SoundGenAddressToWrite = 254; }, "01 E8 01 FE",
         "Установка сетевого адреса звукогенератора 254..."},
        {WriteSoundGenVolume, [](TComThread& w) { w.SoundGenVolumeToWrite = 30; }, "01 E8 03 1E",
         "Установка громкости звукогенератора 30..."},
        {WriteValveControllerParams,
         [](TComThread& w) { w.ValveAddressToWrite = 9; w.ValveBitRateDivisorToWrite = 95; w.ValveOpeningToWrite = 100; },
         "01 E8 05 09 5F 64", "Неизвестная команда звукогенератора 5..."},
    };
    for (const Case& c : cases) {
        ScriptedWorker w;
        c.Stage(*w);
        w->HandOver(c.Operation);
        EXPECT_EQ(w.Run(c.Operation, "01 E8 00"), c.Request);
        EXPECT_EQ(w->Pending(), nullptr);
        EXPECT_EQ(w.Views.LastStatus().rfind(c.Status, 0), 0u) << w.Views.LastStatus();
        EXPECT_TRUE(w.Views.ErrorTexts.empty() || w.Views.LastError().empty()) << w.Views.LastError();
    }
}

}  // namespace
