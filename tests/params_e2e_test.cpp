// Clock, parameter and counter operations against the virtual controller over a
// pseudo-terminal. The simulator's clock is in the test's hand, so fills pour exactly as
// far as a test says; the PC clock of the clock check stands where the test puts it.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "commands/ClockCheck.h"
#include "commands/CounterReaders.h"
#include "engine/CounterRecords.h"
#include "commands/ParameterCommands.h"
#include "commands/TimeCommands.h"
#include "engine/ComThreadUnit.h"
#include "link/UserFormats.h"
#include "link/ComPortUnit.h"
#include "sim/Pouring.h"
#include "sim/SimBus.h"
#include "tests/support/RecordingViews.h"
#include "tests/support/SimOnComPort.h"

namespace {

// 2026-12-09 12:00:00 UTC as Unix milliseconds.
constexpr int64_t Noon = 1796817600000;
constexpr uint32_t NoonSince2000 = uint32_t(Noon / 1000 - 946684800);

class StandingPcClock final : public PcClock {
public:
    uint32_t Now = 0;
    uint32_t LocalSeconds() override { return Now; }
    int ZoneHours() override { return 3; }
    uint32_t UtcSeconds() override { return Now - 3 * 3600; }
};

class ParamsE2e : public ::testing::Test {
protected:
    void SetUp() override {
        UserFormats formats;
        formats.DecimalSeparator = ",";
        SetUserFormats(formats);
        SetPcClock(&pc);
        ClockCheckHistory = {};
    }
    void TearDown() override {
        ComPort.Close();
        SetPcClock(nullptr);
    }

    void Start(std::vector<std::string> options = {}, uint8_t address = 1) {
        options.insert(options.end(), {"--address", std::to_string(address)});
        std::string error;
        sim = StartSimOnComPort(options, [this] { return nowMs.load(); }, error);
        ASSERT_TRUE(sim) << error;
        worker.DeviceAddress = address;
        worker.BitRate = 9600;
        worker.TrkCfg[0] = 5;
        Run(ReadTempsAndVoltages);  // the first request starts the fills' time
    }

    void Run(Op op, int channel = 0) {
        worker.CurrentChannel = channel;
        worker.SelectedChannel = channel;
        op(worker);
    }
    void Pour(int channel, uint32_t doseMl) {
        ASSERT_TRUE(sim->WithBus([&](SimBus& bus) { return StartFill(bus.Main(), channel, doseMl, 0); }));
    }
    template <typename F>
    auto Controller(F&& f) {
        return sim->WithBus([&](SimBus& bus) { return f(bus.Main().State); });
    }

    std::atomic<int64_t> nowMs{Noon};
    StandingPcClock pc;
    TRecordingViews views;
    TComThread worker{views.Bundle()};
    std::unique_ptr<SimHarness> sim;
};

TEST_F(ParamsE2e, ClockIsReadWrittenAndChecked) {
    Start();
    Controller([](ControllerState& s) { s.Clock.Zone = 12; return 0; });
    sim->WithBus([](SimBus& bus) { bus.Main().SetClockUtc(86400); return 0; });
    pc.Now = 86400 + 3 * 3600 + 20;
    Run(ReadTime);
    EXPECT_EQ(views.CurTimeUTC, " 02.01.2000 00:00:00");
    EXPECT_EQ(views.CurTimeLocal, " 02.01.2000 03:00:00");
    EXPECT_EQ(views.TimeZoneIndex, 3);
    EXPECT_EQ(views.Window.TimeErrCode, TimeOk);

    // The engineer sets the clock and a new zone; the next reading shows both.
    worker.UtcTime = NoonSince2000;
    Run(WriteTime);
    EXPECT_TRUE(worker.CommandStatusText.ends_with("OK")) << worker.CommandStatusText;
    worker.TimeZone = 8;
    worker.SummerTimeMode = 2;
    Run(WriteTimeZone);
    EXPECT_TRUE(worker.CommandStatusText.ends_with("OK")) << worker.CommandStatusText;
    pc.Now = NoonSince2000 + 3 * 3600 + 10;
    Run(ReadTime);
    EXPECT_EQ(views.CurTimeUTC, " 09.12.2026 12:00:00");
    EXPECT_EQ(views.CurTimeLocal, " 09.12.2026 15:00:00");  // +2 and summer time always
    EXPECT_EQ(views.TimeShiftIndex, 2);
    EXPECT_EQ(views.Window.TimeErrCode, TimeZoneDiffers);    // the PC says +3

    // A zone the controller does not take is refused, and the refusal is shown.
    worker.TimeZone = 100;
    Run(WriteTimeZone);
    EXPECT_EQ(ComPort.Error, 18);
    EXPECT_TRUE(worker.CommandStatusText.ends_with(ComPort.ResultText));
}

TEST_F(ParamsE2e, StandingClockIsNoticed) {
    Start({"--standing-clock"});
    sim->WithBus([](SimBus& bus) { bus.Main().SetClockUtc(NoonSince2000); return 0; });
    pc.Now = NoonSince2000 + 3 * 3600;
    Run(ReadTime);
    EXPECT_EQ(views.Window.TimeErrCode, TimeOk);
    pc.Now += 6;
    nowMs += 6000;
    Run(ReadTime);
    EXPECT_EQ(views.Window.TimeErrCode, ClockStands);
}

TEST_F(ParamsE2e, SettingsWrittenAreReadBack) {
    Start();
    Run(ReadFlowmeterTimeout);
    EXPECT_EQ(views.Trk(12), "30");
    EXPECT_EQ(views.Trk(13), "2,5");
    EXPECT_EQ(views.Trk(18), "300");
    EXPECT_EQ(views.Trk(23), "3");

    worker.FlowmeterTimeout = 45;
    worker.FlowmeterParams[11] = 0xC0;  // maximal manual dose 120000 ml
    worker.FlowmeterParams[12] = 0xD4;
    worker.FlowmeterParams[13] = 0x01;
    Run(WriteFlowmeterParams);
    worker.TabloCutOff = 500;
    Run(WriteTabloCutOff);
    worker.TabloTestStep = 25;
    Run(WriteTabloTestStepTime);
    worker.NightBright = 70;
    Run(WriteNightBright);
    EXPECT_TRUE(worker.CommandStatusText.ends_with("OK")) << worker.CommandStatusText;

    for (Op read : {ReadFlowmeterTimeout, ReadTabloCutOff, ReadTabloTestStepTime, ReadNightBright}) Run(read);
    EXPECT_EQ(views.Trk(12), "45");
    EXPECT_EQ(views.Trk(21), "120");
    EXPECT_EQ(views.Trk(10), "500");
    EXPECT_EQ(views.Trk(11), "250");
    EXPECT_EQ(views.NightBright, "70");
    EXPECT_EQ(worker.FlowmeterTimeoutRead + worker.TabloCutOffRead + worker.TabloTestStepRead + worker.NightBrightRead, 4);

    // A brightness the controller refuses is reported, and the old one stays.
    worker.NightBright = 5;
    Run(WriteNightBright);
    EXPECT_EQ(ComPort.Error, 18);
    Run(ReadNightBright);
    EXPECT_EQ(views.NightBright, "70");
}

TEST_F(ParamsE2e, OlderFirmwareAnswersWithFewerSettings) {
    Start({"--flowmeter-params", "19"});
    Run(ReadFlowmeterTimeout);
    EXPECT_EQ(worker.FlowmeterParamsPresent, 1);
    EXPECT_EQ(views.Trk(20), "5");
    EXPECT_EQ(views.Trk(22), "");
}

TEST_F(ParamsE2e, ReductionConstantsOfAllBoards) {
    Start({"--subtrk", "2"}, 10);
    worker.SubTrkCfg = Controller([](ControllerState& s) { return SubTrkPageBytes(s.Status, s.Address); });
    for (int channel = 0; channel < 15; ++channel) Run(ReadReductionConst, channel);
    EXPECT_EQ(views.Valve(1, 3), "200");
    EXPECT_EQ(views.Valve(2, 0), "150");
    EXPECT_EQ(views.Valve(3, 4), "120");
    EXPECT_TRUE(worker.PollStatusText.ends_with("OK")) << worker.PollStatusText;

    // A constant written to the second board is read back from it.
    worker.ReductionConstToWrite[12] = 333;
    Run(WriteReductionConst, 12);
    EXPECT_TRUE(worker.CommandStatusText.ends_with("OK")) << worker.CommandStatusText;
    worker.ReductionConst[12] = 0;
    Run(ReadReductionConst, 12);
    EXPECT_EQ(views.Valve(3, 2), "333");
    EXPECT_EQ(Controller([](ControllerState& s) { return s.ReductionConst[12]; }), 333);
}

TEST_F(ParamsE2e, AbsentBoardShowsDashes) {
    Start({"--subtrk", "1"}, 10);
    worker.SubTrkCfg = Controller([](ControllerState& s) { return SubTrkPageBytes(s.Status, s.Address); });
    Run(ReadReductionConst, 7);
    EXPECT_EQ(views.Valve(2, 2), "150");
    worker.PollStatusText.clear();
    Run(ReadReductionConst, 12);
    EXPECT_EQ(views.Valve(3, 2), "---");
    EXPECT_EQ(worker.PollStatusText, "") << "no request for an absent board";
}

TEST_F(ParamsE2e, PerChannelSettingsReachTheController) {
    Start();
    worker.FuelNameToWrite[1] = "A-95";
    Run(WriteFuelName, 1);
    worker.LiftedNozzleColourToWrite[1] = 0x0000FF;
    worker.RestingNozzleColourToWrite[1] = 0xFF0000;
    Run(WriteNozzleColours, 1);
    worker.PumpRampUpTimeToWrite[1] = 1500;
    Run(WritePumpRampUpTime, 1);
    worker.VrxAddress[1] = 17;
    Run(WriteVrxAddress, 1);
    worker.TabloColourCorrection[2] = {90, 80, 70, 1, 2, 3};
    Run(WriteTabloColourCorrection, 2);
    worker.TabloTempOffsetToWrite[5] = -3;
    Run(WriteTabloTempOffset, 5);
    EXPECT_TRUE(worker.CommandStatusText.ends_with("OK")) << worker.CommandStatusText;

    Controller([](ControllerState& s) {
        const SimChannelLook& ch = s.Status.Channels[1];
        EXPECT_EQ(ch.FuelName[0], 0x77);
        EXPECT_EQ(ch.FuelName[3], 0x6D);
        EXPECT_EQ(ch.FuelName[4], 0x00);
        EXPECT_EQ(ch.LiftedColour, (std::array<uint8_t, 3>{0xFF, 0, 0}));
        EXPECT_EQ(ch.RestingColour, (std::array<uint8_t, 3>{0, 0, 0xFF}));
        EXPECT_EQ(ch.PumpRampUpMs, 1500);
        EXPECT_EQ(ch.VrxAddress, 17);
        EXPECT_EQ(s.Status.Displays[2].ColourCorrection, (std::array<uint8_t, 6>{90, 80, 70, 1, 2, 3}));
        EXPECT_EQ(s.Status.Displays[5].TempOffset, -3);
        return 0;
    });
}

TEST_F(ParamsE2e, CountersFollowAFillAsItPours) {
    Start();
    Pour(1, 5000);
    nowMs += 2000;  // 1200 ml at 600 ml/s
    Run(ReadChannelCounters, 1);
    EXPECT_EQ(views.FlowCell(5, 1), "1,2");
    Run(ReadDataBlock);
    EXPECT_EQ(worker.DataBlockStatus[1], 0x02) << "channel 2 pours";
    EXPECT_EQ(worker.DataBlockStatus[6], 0x1D) << "the others are ready";

    nowMs += 8000;  // the dose is out
    Run(ReadLastFill, 1);
    EXPECT_EQ(views.Ch(27, 1), "1");
    EXPECT_EQ(views.Ch(28, 1), "5");
    EXPECT_EQ(views.Ch(29, 1), "5");
    EXPECT_EQ(views.Ch(32, 1), "12:00:00(+3,0)");
    EXPECT_EQ(views.Ch(33, 1), "12:00:08(+3,0)");
    EXPECT_EQ(views.Ch(34, 1), "09.12.2026");
    Run(ReadChannelTotals, 1);
    EXPECT_EQ(views.Ch(15, 1), "5");
    EXPECT_EQ(views.Ch(19, 1), "274,5");  // 5 l at 54,90 a litre
    EXPECT_EQ(views.Trk(8), "2 л");
    Run(ReadDataBlock);
    EXPECT_EQ(worker.DataBlockStatus[2], 0x02) << "the fill waits for confirmation";
}

TEST_F(ParamsE2e, ManualModeBlinksAsAFault) {
    Start({"--manual"});
    EXPECT_EQ(views.Window.HdwErrCode, 31);
    EXPECT_EQ(views.Trk(3), "24 В");
    EXPECT_EQ(views.Trk(5), "23°C");
    EXPECT_FALSE(views.Illum1.empty());
    Controller([](ControllerState& s) { s.ManualMode = false; return 0; });
    Run(ReadTempsAndVoltages);
    EXPECT_EQ(views.Window.HdwErrCode, 0);
}

}  // namespace
