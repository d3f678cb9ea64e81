// Parameter commands: the three answer sizes of the flowmeter settings, the addressing
// of reduction constants on the sub-controller boards, and the bytes every writer sends.
#include <gtest/gtest.h>

#include <functional>

#include "commands/ParameterCommands.h"
#include "link/UserFormats.h"
#include "tests/support/ScriptedWorker.h"

namespace {

// Answer to command 251 of `length` bytes: timeout 30, then a block whose main-valve
// timeout is 25 (2.5 s), leak 0x0102, manual dose 120000 ml, speed 0x0304 and count 7.
std::string FlowmeterAnswer(int length) {
    std::vector<uint8_t> a = {0x01, 0xFB, 0x00, 30, 25, 3, 4, 5, 0x02, 0x01, 0x10, 0x00, 0x20, 0x00,
                              6, 0xC0, 0xD4, 0x01, 0x00, 0x04, 0x03, 7};
    a.resize(length);
    return ToHex(a);
}

class FlowmeterParamsRead : public ::testing::Test {
protected:
    void SetUp() override {
        UserFormats formats;
        formats.DecimalSeparator = ".";
        SetUserFormats(formats);
    }
    ScriptedWorker w;
};

TEST_F(FlowmeterParamsRead, AnswerSizeDecidesWhichRowsAreShown) {
    struct Case { int length; bool block; bool lateRows; };
    const Case cases[] = {{4, false, false}, {18, false, false}, {19, true, false},
                          {21, true, false}, {22, true, true}, {30, true, true}};
    for (const Case& c : cases) {
        ScriptedWorker fresh;
        EXPECT_EQ(fresh.Run(ReadFlowmeterTimeout, FlowmeterAnswer(c.length)), "01 FB");
        EXPECT_EQ(fresh->FlowmeterTimeoutRead, 1) << c.length;
        EXPECT_EQ(fresh->FlowmeterParamsPresent, c.block ? 1 : 0) << c.length;
        EXPECT_EQ(fresh.Views.Trk(12), "30");
        EXPECT_EQ(fresh.Views.Trk(13), c.block ? "2.5" : "") << c.length;
        EXPECT_EQ(fresh.Views.Trk(17), c.block ? "258" : "") << c.length;
        EXPECT_EQ(fresh.Views.Trk(21), c.block ? "120" : "") << c.length;
        EXPECT_EQ(fresh.Views.Trk(22), c.lateRows ? "772" : "") << c.length;
        EXPECT_EQ(fresh.Views.Trk(23), c.lateRows ? "7" : "") << c.length;
    }
}

TEST_F(FlowmeterParamsRead, ShortBlockKeepsTheLastThreeSettings) {
    w.Run(ReadFlowmeterTimeout, FlowmeterAnswer(22));
    std::string shorter = FlowmeterAnswer(19);
    shorter.replace(shorter.size() - 2, 2, "09");  // byte 18: last of the dose, now 0x09
    w.Views.TrkCells.clear();
    w.Run(ReadFlowmeterTimeout, shorter);
    EXPECT_EQ(w->FlowmeterParams[14], 0x09);
    EXPECT_EQ(w->FlowmeterParams[15], 0x04);  // untouched from the first answer
    EXPECT_EQ(w->FlowmeterParams[17], 7);
    EXPECT_EQ(w.Views.Trk(22), "");          // a short answer never rewrites the late rows
}

TEST_F(FlowmeterParamsRead, FailuresLeaveFlagsClearForTheNextTry) {
    struct Case { std::string answer; int error; };
    const Case cases[] = {
        {"01 FB 00", -5},          // no timeout byte
        {"01 FB 0D 1E", 13},       // the controller refused
        {"", -1},                  // silence
    };
    for (const Case& c : cases) {
        ScriptedWorker fresh;
        fresh.Run(ReadFlowmeterTimeout, c.answer);
        EXPECT_EQ(ComPort.Error, c.error) << c.answer;
        EXPECT_EQ(fresh->FlowmeterTimeoutRead, 0) << c.answer;
        EXPECT_EQ(fresh.Views.Trk(12), "") << c.answer;
        EXPECT_TRUE(fresh->PollStatusText.ends_with(ComPort.ResultText)) << c.answer;
    }
    ScriptedWorker shortAnswer;
    shortAnswer.Run(ReadFlowmeterTimeout, "01 FB 00");
    EXPECT_NE(shortAnswer->PollStatusText.find("Должно быть 4 байт"), std::string::npos);
}

TEST(SmallSettingReads, StoreSetFlagAndShow) {
    ScriptedWorker w;
    EXPECT_EQ(w.Run(ReadTabloCutOff, "01 DB 00 F4 01"), "01 DB");
    EXPECT_EQ(w->TabloCutOff, 500u);
    EXPECT_EQ(w->TabloCutOffRead, 1);
    EXPECT_EQ(w.Views.Trk(10), "500");

    EXPECT_EQ(w.Run(ReadTabloTestStepTime, "01 D7 00 19"), "01 D7");
    EXPECT_EQ(w->TabloTestStep, 25u);
    EXPECT_EQ(w->TabloTestStepRead, 1);
    EXPECT_EQ(w.Views.Trk(11), "250");

    EXPECT_EQ(w.Run(ReadNightBright, "01 DD 00 28"), "01 DD");
    EXPECT_EQ(w->NightBrightRead, 1);
    EXPECT_EQ(w.Views.NightBright, "40");

    // The cut-off needs both of its bytes.
    ScriptedWorker shortCutOff;
    shortCutOff.Run(ReadTabloCutOff, "01 DB 00 F4");
    EXPECT_EQ(shortCutOff->TabloCutOffRead, 0);
    EXPECT_NE(shortCutOff->PollStatusText.find("Должно быть 5 байт"), std::string::npos);
}

TEST(ReductionConstants, ChannelsOfTheBoardsGoToTheirAddresses) {
    struct Case { uint8_t controller; int channel; std::string request; int row; int column; };
    const Case cases[] = {
        {10, 3, "0A DF 03", 1, 3},
        {10, 7, "4A DF 02", 2, 2},
        {10, 12, "CA DF 02", 3, 2},   // 10 - 64 + 256
        {200, 5, "08 DF 00", 2, 0},   // 200 + 64 wraps to 8
        {1, 14, "C1 DF 04", 3, 4},
    };
    for (const Case& c : cases) {
        ScriptedWorker w(c.controller);
        w->SubTrkCfg[4] = 65;  // both boards fitted
        w->SubTrkCfg[6] = 66;
        w->CurrentChannel = c.channel;
        EXPECT_EQ(w.Run(ReadReductionConst, "00 DF 00 99 2C 01"), c.request) << c.channel;
        EXPECT_EQ(w->ReductionConst[c.channel], 300) << c.channel;
        EXPECT_EQ(w.Views.Valve(c.row, c.column), "300") << c.channel;
    }
}

TEST(ReductionConstants, AbsentBoardIsNeverAskedAndShowsDashes) {
    ScriptedWorker w(10);
    w->SubTrkCfg[4] = 0;   // first board absent
    w->SubTrkCfg[6] = 66;
    for (int channel = 5; channel < 10; ++channel) {
        w->CurrentChannel = channel;
        EXPECT_EQ(w.Run(ReadReductionConst, "00 DF 00 00 2C 01"), "") << channel;
        EXPECT_EQ(w.Views.Valve(2, channel - 5), "---") << channel;
    }
    w->CurrentChannel = 10;
    EXPECT_EQ(w.Run(ReadReductionConst, "00 DF 00 00 2C 01"), "CA DF 00");
    EXPECT_EQ(w.Views.Valve(3, 0), "300");

    // No sixteenth channel: nothing asked, nothing shown, nothing stored out of bounds.
    w->CurrentChannel = 15;
    w.Views.Calls.clear();
    EXPECT_EQ(w.Run(ReadReductionConst, "00 DF 00 00 2C 01"), "");
    EXPECT_FALSE(w.Views.Called("SetValveStatus"));
}

TEST(ReductionConstants, ShortAnswerIsReportedAndNotStored) {
    ScriptedWorker w;
    w->CurrentChannel = 2;
    w->ReductionConst[2] = 77;
    w.Run(ReadReductionConst, "01 DF 00 00 2C");
    EXPECT_EQ(w->ReductionConst[2], 77);
    EXPECT_NE(w->PollStatusText.find("Должно быть 6 байт"), std::string::npos);
}

// Every writer sends what the window staged and reports the result in panel 4.
TEST(SettingWriters, SendTheStagedValues) {
    struct Case {
        const char* name;
        Op op;
        std::function<void(TComThread&)> stage;
        std::string request;
    };
    const Case cases[] = {
        {"flowmeter timeout", WriteFlowmeterTimeout, [](TComThread& w) { w.FlowmeterTimeout = 30; },
         "01 FA 1E"},
        {"flowmeter block", WriteFlowmeterParams,
         [](TComThread& w) {
             w.FlowmeterTimeout = 30;
             for (int i = 0; i < 18; ++i) w.FlowmeterParams[i] = uint8_t(i + 1);
         },
         "01 FA 1E 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12"},
        {"cut-off", WriteTabloCutOff, [](TComThread& w) { w.TabloCutOff = 500; }, "01 DA F4 01"},
        {"night brightness", WriteNightBright, [](TComThread& w) { w.NightBright = 40; }, "01 DC 28"},
        {"test step 250 ms", WriteTabloTestStepTime, [](TComThread& w) { w.TabloTestStep = 25; }, "01 D6 19"},
        {"reduction on board 2", WriteReductionConst,
         [](TComThread& w) { w.SelectedChannel = 11; w.ReductionConstToWrite[11] = 0x0140; }, "C1 DE 01 40 01"},
        {"pump ramp-up", WritePumpRampUpTime,
         [](TComThread& w) { w.SelectedChannel = 2; w.PumpRampUpTimeToWrite[2] = 1500; }, "01 E0 02 DC 05"},
        {"nozzle colours", WriteNozzleColours,
         [](TComThread& w) {
             w.SelectedChannel = 1;
             w.LiftedNozzleColourToWrite[1] = 0x0000FF;   // red
             w.RestingNozzleColourToWrite[1] = 0x00FF00;  // green
         },
         "01 E2 01 FF 00 00 00 FF 00"},
        {"fuel name", WriteFuelName,
         [](TComThread& w) { w.SelectedChannel = 0; w.FuelNameToWrite[0] = "A-95"; },
         "01 E2 00 77 40 6F 6D 00 00 00 00 00 00 00 00 00 00"},
        {"fuel name without codes", WriteFuelName,
         [](TComThread& w) { w.SelectedChannel = 4; w.FuelNameToWrite[4] = "B"; },
         "01 E2 04 20 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {"fuel name cut at 14", WriteFuelName,
         [](TComThread& w) { w.SelectedChannel = 3; w.FuelNameToWrite[3] = "000000000000000"; },
         "01 E2 03 3F 3F 3F 3F 3F 3F 3F 3F 3F 3F 3F 3F 3F 3F"},
        {"VRX2.0 address", WriteVrxAddress,
         [](TComThread& w) { w.SelectedChannel = 3; w.VrxAddress[3] = 17; }, "01 22 03 01 11"},
        {"colour correction", WriteTabloColourCorrection,
         [](TComThread& w) { w.SelectedChannel = 2; w.TabloColourCorrection[2] = {1, 2, 3, 4, 5, 6}; },
         "01 D6 01 02 01 02 03 04 05 06"},
        {"temperature offset", WriteTabloTempOffset,
         [](TComThread& w) { w.SelectedChannel = 5; w.TabloTempOffsetToWrite[5] = -5; }, "01 D6 02 05 FB"},
    };
    for (const Case& c : cases) {
        ScriptedWorker w;
        c.stage(*w);
        std::vector<uint8_t> answer = FromHex(c.request);
        answer.resize(3);
        answer[0] = 1;
        answer[2] = 0;
        EXPECT_EQ(w.Run(c.op, ToHex(answer)), c.request) << c.name;
        EXPECT_TRUE(w->CommandStatusText.ends_with("OK")) << c.name << ": " << w->CommandStatusText;
        EXPECT_EQ(w->PollStatusText, "") << c.name;
    }
}

TEST(SettingWriters, IndexWithoutAStagedValueSendsNothing) {
    struct Case { Op op; int selected; };
    const Case cases[] = {{WriteFuelName, 15}, {WriteNozzleColours, -1}, {WriteReductionConst, 15},
                          {WriteTabloColourCorrection, 4}, {WriteTabloTempOffset, 7},
                          {WritePumpRampUpTime, 15}, {WriteVrxAddress, 20}};
    for (const Case& c : cases) {
        ScriptedWorker w;
        w->SelectedChannel = c.selected;
        w->HandOver(c.op);
        EXPECT_EQ(w.Run(c.op, "01 00 00"), "") << c.selected;
        EXPECT_EQ(w->Pending(), nullptr) << "a refused write must not stay waiting";
    }
}

}  // namespace
