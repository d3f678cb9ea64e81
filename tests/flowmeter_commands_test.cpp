#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

#include "commands/FlowmeterCommands.h"
#include "tests/support/HexBytes.h"
#include "tests/support/ScopedUserFormats.h"
#include "tests/support/ScriptedWorker.h"

namespace {

// A Russian desktop: decimal comma.
class FlowmeterTest : public ::testing::Test {
    ScopedDecimalSeparator comma_{","};
};

struct Patch {
    int At;
    const char* Hex;
};

template <size_t N>
std::array<uint8_t, N> Record(const std::vector<Patch>& patches) {
    std::array<uint8_t, N> r{};
    for (const Patch& p : patches) {
        const auto bytes = FromHex(p.Hex);
        std::copy(bytes.begin(), bytes.end(), r.begin() + p.At);
    }
    return r;
}

std::map<int, std::string> ByRow(const std::vector<RowText>& rows) {
    std::map<int, std::string> m;
    for (const RowText& r : rows) {
        EXPECT_FALSE(m.count(r.Row)) << "row " << r.Row << " written twice";
        m[r.Row] = r.Text;
    }
    return m;
}

struct CellCase {
    std::vector<Patch> Patches;
    int Row;
    std::string Text;
};

TEST_F(FlowmeterTest, CryptoDiagnosticsTexts) {
    const CellCase cases[] = {
        {{{CryptoAt::Gain, "FF"}}, FlowRow::Gain, "100%"},
        {{{CryptoAt::Gain, "00"}}, FlowRow::Gain, "0%"},
        {{{CryptoAt::Gain, "80"}}, FlowRow::Gain, "50%"},
        {{{CryptoAt::Strength, "FF 3F"}}, FlowRow::Strength, "100%"},
        {{{CryptoAt::Strength, "00 20"}}, FlowRow::Strength, "50%"},
        {{{CryptoAt::Strength, "39 30"}}, FlowRow::Strength, "75,35%"},  // 12345
        {{{CryptoAt::RawAngle, "00 20"}}, FlowRow::RawAngle, "180"},
        {{{CryptoAt::RawAngle, "00 10"}}, FlowRow::RawAngle, "90"},
        {{{CryptoAt::RawAngle, "01 00"}}, FlowRow::RawAngle, "0,02"},      // truncated, not rounded
        {{{CryptoAt::RawAngle, "FF FF"}}, FlowRow::RawAngle, "1439,97"},   // stray high bits stay positive
        {{{CryptoAt::Angle, "00 30"}}, FlowRow::Angle, "270"},
        {{{CryptoAt::GainFlags, "0F"}}, FlowRow::GainFlags, "MAGL MAGH COF LF "},
        {{{CryptoAt::GainFlags, "05"}}, FlowRow::GainFlags, "MAGH LF "},
        {{{CryptoAt::GainFlags, "F0"}}, FlowRow::GainFlags, ""},
        {{{CryptoAt::Status, "FE"}}, FlowRow::Status, "ГИР не ответил"},
        {{{CryptoAt::Status, "FD"}}, FlowRow::Status, "253"},
        {{{CryptoAt::Temperature, "FB"}}, FlowRow::Temperature, "-5"},
        {{{CryptoAt::TempOffset, "82"}}, FlowRow::TempOffset, "-126"},
        {{{CryptoAt::TempOffset, "7E"}}, FlowRow::TempOffset, "126"},
        {{{CryptoAt::Total, "DC 05"}}, FlowRow::CryptoTotal, "1,5"},
        {{{CryptoAt::BackupTotal, "00 00 00 00 00 00 00 01"}}, FlowRow::CryptoBackup, "72057594037927,9"},
        {{{CryptoAt::Version, "0C"}, {CryptoAt::Date, "80 51 01 00"}}, FlowRow::Firmware, "v12 от 02.01.2000"},
    };
    for (const CellCase& c : cases) {
        const auto record = Record<kCryptoDataSize>(c.Patches);
        const auto rows = ByRow(CryptoDataTexts(record));
        EXPECT_EQ(rows.size(), 11u);
        EXPECT_EQ(rows.at(c.Row), c.Text) << "row " << c.Row << " patch " << c.Patches[0].Hex;
    }
}

TEST_F(FlowmeterTest, FlowmeterDataTexts) {
    const CellCase cases[] = {
        {{{FlowmeterDataAt::Rate, "64 00"}}, FlowRow::Rate, "6"},   // 100 ml/s
        {{{FlowmeterDataAt::Rate, "65 00"}}, FlowRow::Rate, "6"},   // 101 ml/s: 60 tenths before the division
        {{{FlowmeterDataAt::Rate, "75 00"}}, FlowRow::Rate, "7"},   // 117 ml/s
        {{{FlowmeterDataAt::Rate, "FF FF"}}, FlowRow::Rate, "3932,1"},
        {{{FlowmeterDataAt::Voltage, "7D"}}, FlowRow::Voltage, "12,5"},
        {{{FlowmeterDataAt::Voltage, "78"}}, FlowRow::Voltage, "12"},
        {{{FlowmeterDataAt::Coefficient, "FF FF FF FF"}}, FlowRow::Coefficient, "4294967295"},
        {{{FlowmeterDataAt::MassTotal, "87 D6 12 00"}}, FlowRow::MassTotal, "1234,567"},
        {{{FlowmeterDataAt::Type, "03"}}, FlowRow::Type, "Крипто"},
        {{{FlowmeterDataAt::Type, "00"}}, FlowRow::Type, "---"},
        {{{FlowmeterDataAt::LpgAddress, "C8"}}, FlowRow::LpgAddress, "200"},
        {{{FlowmeterDataAt::Type, "01"}}, FlowRow::GasDensity, "---"},
        {{{FlowmeterDataAt::Type, "03"}}, FlowRow::GasTemperature, "---"},
        {{{FlowmeterDataAt::Type, "04"}}, FlowRow::GasDensity, "512,500"},
        {{{FlowmeterDataAt::Type, "04"}}, FlowRow::GasTemperature, "-12,250"},
    };
    for (const CellCase& c : cases) {
        const auto record = Record<kFlowmeterDataSize>(c.Patches);
        const auto rows = ByRow(FlowmeterDataTexts(record, 0.5125, -12.25));
        EXPECT_EQ(rows.size(), 8u);
        EXPECT_EQ(rows.at(c.Row), c.Text) << "row " << c.Row << " patch " << c.Patches[0].Hex;
    }
}

TEST_F(FlowmeterTest, BlankCryptoColumnsDashValuesAndSayWhyInTheStatusRow) {
    const std::pair<CryptoBlank, std::string> kinds[] = {
        {CryptoBlank::NotAnswering, "ГИР не отвечает"},
        {CryptoBlank::NotPolled, "Не опрашивается"},
        {CryptoBlank::NoData, "---"},
    };
    const auto filled = ByRow(CryptoDataTexts(Record<kCryptoDataSize>({})));
    for (const auto& [kind, status] : kinds) {
        const auto rows = ByRow(CryptoBlankTexts(kind));
        // A blank column overwrites every crypto cell a good read fills.
        ASSERT_EQ(rows.size(), filled.size());
        for (const auto& [row, text] : rows)
            EXPECT_EQ(text, row == FlowRow::Status ? status : "---") << "row " << row;
        EXPECT_EQ(CryptoBlankTexts(kind).back().Row, FlowRow::Status);
    }
}

TEST_F(FlowmeterTest, StatusHintsExplainKnownCodesOnly) {
    EXPECT_EQ(CryptoStatusHint(254), "ГИР не отвечает");
    EXPECT_EQ(CryptoStatusHint(0), "OK");
    EXPECT_EQ(CryptoStatusHint(8), "Калибровочный коэффициент в ГИРе повреждён");
    for (int code : {9, 100, 251, 255, -1}) EXPECT_EQ(CryptoStatusHint(code), "") << code;
}

// --- Operations against a scripted controller

std::string Answer(const char* head, size_t length) {
    auto bytes = FromHex(head);
    bytes.resize(length, 0);
    return ToHex(bytes);
}

TEST_F(FlowmeterTest, RequestsCarryTheChosenFlowmeterAndStagedValues) {
    struct Case {
        Op Operation;
        void (*Stage)(TComThread&);
        std::string Request;
        bool CommandPanel;
    };
    const Case cases[] = {
        {ReadFlowmeterData, [](TComThread& w) { w.CurrentChannel = 2; }, "01 E5 01 02", false},
        {ReadCryptoFlowmeterData, [](TComThread& w) { w.CurrentChannel = 14; }, "01 E7 0E", false},
        {WriteFlowmeterType, [](TComThread& w) { w.SelectedChannel = 1; w.FlowmeterTypeToWrite[1] = 3; },
         "01 E6 01 03", true},
        {WriteFlowmeterTypeAndAddress,
         [](TComThread& w) { w.SelectedChannel = 0; w.FlowmeterTypeToWrite[0] = 4; w.LpgAddressToWrite[0] = 17; },
         "01 E6 00 04 11", true},
        {WriteFlowmeterTempOffset, [](TComThread& w) { w.SelectedChannel = 3; w.FlowmeterTempOffsetToWrite[3] = -5; },
         "01 E7 01 03 FB", true},
    };
    for (const Case& c : cases) {
        ScriptedWorker w;
        c.Stage(*w);
        w->HandOver(c.Operation);
        EXPECT_EQ(w.Run(c.Operation, "01 E6 00"), c.Request);
        EXPECT_EQ(w->Pending(), nullptr) << c.Request;
        const std::string shown = c.CommandPanel ? w.Views.LastError() : w.Views.LastStatus();
        EXPECT_NE(shown.find("..."), std::string::npos) << c.Request << ": " << shown;
    }
}

TEST_F(FlowmeterTest, PollReadBetweenStagingAndWriteDoesNotUndoTheEdit) {
    ScriptedWorker w;
    w->SelectedChannel = w->CurrentChannel = 0;
    w->FlowmeterTypeToWrite[0] = kLpgMassFlowmeterType;
    w->LpgAddressToWrite[0] = 17;
    // The controller still reports an LPGmass meter at address 1.
    w.Run(ReadFlowmeterData, Answer("01 E5 00 00 00 04 01", 38));
    EXPECT_EQ(w.Views.FlowCell(FlowRow::LpgAddress, 0), "1");
    EXPECT_EQ(w.Run(WriteFlowmeterTypeAndAddress, "01 E6 00"), "01 E6 00 04 11");
}

TEST_F(FlowmeterTest, FlowmeterIndexBeyondTheRecordsSendsNothingAndLeavesTheSlot) {
    ScriptedWorker w;
    w->CurrentChannel = kChannelCount;
    w->HandOver(ReadCryptoFlowmeterData);
    EXPECT_EQ(w.Run(ReadCryptoFlowmeterData, "01 E7 00"), "");
    EXPECT_EQ(w->Pending(), nullptr);
    EXPECT_TRUE(w.Views.FlowCells.empty());
}

TEST_F(FlowmeterTest, FlowmeterDataNeedsTheWholeRecord) {
    ScriptedWorker w;
    w->CurrentChannel = 1;
    // Type 2 and a rate of 117 ml/s at answer bytes 5 and 12.
    w.Run(ReadFlowmeterData, Answer("01 E5 00 AA BB 02 00 00 00 00 00 00 75 00", 37));
    EXPECT_TRUE(w.Views.FlowCells.empty());
    EXPECT_EQ(w->FlowmeterData[1][0], 0);
    EXPECT_NE(w.Views.LastStatus().find("Должно быть 38"), std::string::npos) << w.Views.LastStatus();

    w.Run(ReadFlowmeterData, Answer("01 E5 00 AA BB 02 00 00 00 00 00 00 75 00", 38));
    EXPECT_EQ(w->FlowmeterData[1][0], 2);
    EXPECT_EQ(w.Views.FlowCell(FlowRow::Type, 1), "Квадратурный");
    EXPECT_EQ(w.Views.FlowCell(FlowRow::Rate, 1), "7");
    EXPECT_EQ(w.Views.ReportedFlowmeterTypes[1], 2);
    EXPECT_EQ(w.Views.FlowCell(FlowRow::Type, 0), "");
}

TEST_F(FlowmeterTest, LpgMassWithoutLinkSaysSoInTheGasRows) {
    ScriptedWorker w;
    w->CurrentChannel = 3;
    w.Run(ReadFlowmeterData, "01 E5 C7");
    EXPECT_EQ(w.Views.FlowCell(FlowRow::GasDensity, 3), "Нет связи");
    EXPECT_EQ(w.Views.FlowCell(FlowRow::GasTemperature, 3), "Нет связи");
    EXPECT_EQ(w.Views.FlowCell(FlowRow::Type, 3), "");
    EXPECT_EQ(w->FlowmeterData[3][FlowmeterDataAt::Type], 0);

    // Once a read has told the type, only an LPGmass meter is reported out of reach.
    const struct {
        const char* Type;
        const char* Gas;
    } rows[] = {{"04", "0,000"}, {"01", "---"}, {"02", "---"}, {"03", "---"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Type);
        ScriptedWorker known;
        known->CurrentChannel = 2;
        known.Run(ReadFlowmeterData, Answer((std::string("01 E5 00 AA BB ") + row.Type).c_str(), 38));
        ASSERT_EQ(known.Views.FlowCell(FlowRow::GasDensity, 2), row.Gas);
        known.Run(ReadFlowmeterData, "01 E5 C7");
        const std::string expected = std::string(row.Type) == "04" ? "Нет связи" : row.Gas;
        EXPECT_EQ(known.Views.FlowCell(FlowRow::GasDensity, 2), expected);
        EXPECT_EQ(known.Views.FlowCell(FlowRow::GasTemperature, 2), expected);
    }

    // Any other error shows nothing.
    ScriptedWorker other;
    other->CurrentChannel = 3;
    other.Run(ReadFlowmeterData, "01 E5 C4");
    other.Run(ReadFlowmeterData, "");
    EXPECT_TRUE(other.Views.FlowCells.empty());
}

TEST_F(FlowmeterTest, CryptoReadOutcomes) {
    struct Case {
        std::string Answer;
        std::string StatusCell;
        std::string GainCell;
        int StoredStatus;  // what the status hint explains
    };
    const Case cases[] = {
        {Answer("01 E7 00 00 03 80", 42), "3", "50%", 3},
        {Answer("01 E7 00 00 FE 80", 42), "ГИР не ответил", "50%", 254},
        {"01 E7 C4", "ГИР не отвечает", "---", 254},       // the controller got no answer from it
        {"01 E7 05", "---", "---", 255},                    // any other refusal
        {Answer("01 E7 00 00 03 80", 41), "---", "---", 255},  // short
        {"", "---", "---", 255},                            // silence
    };
    for (const Case& c : cases) {
        ScriptedWorker w;
        w->CurrentChannel = 2;
        w.Run(ReadCryptoFlowmeterData, c.Answer);
        EXPECT_EQ(w.Views.FlowCell(FlowRow::Status, 2), c.StatusCell) << c.Answer;
        EXPECT_EQ(w.Views.FlowCell(FlowRow::Gain, 2), c.GainCell) << c.Answer;
        EXPECT_EQ(w.Views.CryptoStatuses[2], c.StoredStatus) << c.Answer;
        if (c.GainCell == "---") {
            EXPECT_EQ(w->CryptoData[2][CryptoAt::Gain], 0) << c.Answer;
        }
    }
}

TEST_F(FlowmeterTest, NotPolledColumnIsTheCurrentOne) {
    ScriptedWorker w;
    w->CurrentChannel = 7;
    ShowCryptoNotPolled(*w);
    EXPECT_EQ(w.Views.FlowCell(FlowRow::Status, 7), "Не опрашивается");
    EXPECT_EQ(w.Views.FlowCell(FlowRow::CryptoTotal, 7), "---");
    EXPECT_EQ(CryptoStatusHint(w.Views.CryptoStatuses[7]), "");
    EXPECT_TRUE(w.Line.Requests.empty());
}

}  // namespace
