// Status readers and configuration pages against the virtual controller over a
// pseudo-terminal: what the tool shows is what the controller holds, and a configuration
// written is the configuration read back.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "commands/ConfigMapping.h"
#include "commands/ConfigRecords.h"
#include "commands/StatusReaders.h"
#include "engine/ComThreadUnit.h"
#include "link/UserFormats.h"
#include "link/ComPortUnit.h"
#include "sim/Pouring.h"
#include "sim/SimBus.h"
#include "tests/support/RecordingViews.h"
#include "tests/support/SimOnComPort.h"

namespace {

class ReadersE2e : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = CurrentUserFormats();
        UserFormats f = saved_;
        f.DecimalSeparator = ",";
        SetUserFormats(f);
    }
    void TearDown() override {
        ComPort.Close();
        SetUserFormats(saved_);
    }

    void Start(const std::vector<std::string>& options = {}) {
        std::string error;
        sim = StartSimOnComPort(options, [this] { return nowMs.load(); }, error);
        ASSERT_TRUE(sim) << error;
        worker.DeviceAddress = 1;
        worker.BitRate = 9600;
    }

    void Run(Op op, int channel = 0) {
        worker.CurrentChannel = channel;
        op(worker);
    }
    bool Ok() const { return worker.PollStatusText.ends_with("...OK"); }

    std::atomic<int64_t> nowMs{0};
    TRecordingViews views;
    TComThread worker{views.Bundle()};
    std::unique_ptr<SimHarness> sim;

private:
    UserFormats saved_;
};

TEST_F(ReadersE2e, ChannelStateOfAFillInProgress) {
    Start();
    Run(ReadChannelState, 1);  // the first request starts the controller's time
    ASSERT_TRUE(sim->WithBus([&](SimBus& bus) { return StartFill(bus.Main(), 1, 10000, 0); }));
    nowMs += 2000;  // 1.2 l at 600 ml/s
    Run(ReadChannelState, 1);
    ASSERT_TRUE(Ok()) << worker.PollStatusText;
    EXPECT_EQ(views.Ch(9, 1), "10");
    EXPECT_EQ(views.Ch(11, 1), "ТРК");
    EXPECT_EQ(views.Ch(12, 1), "1,2");
    EXPECT_EQ(views.Ch(21, 1), "54,9");
    EXPECT_EQ(views.Ch(26, 1), "2");
    EXPECT_EQ((views.ChImages[{0, 1}]), Images::GreyCheck);
    EXPECT_EQ((views.ChImages[{4, 1}]), Images::GreenCheck);
    EXPECT_EQ((views.ChImages[{5, 1}]), Images::GreenCheck);
    EXPECT_EQ(views.Window.FuelNames[1], "A-95          ");
    EXPECT_EQ(views.Window.LiftedNozzleColour[1], 0x10C000u);
    EXPECT_EQ(views.Window.KnownPrices[1], 5490u);

    Run(ReadPumpRampUpTime, 1);
    EXPECT_EQ(views.Ch(22, 1), "1100");
    Run(ReadFlowmeterState, 1);
    EXPECT_EQ(views.FlowCell(4, 1), "36");
    EXPECT_EQ(views.FlowCell(5, 1), "1,2");
    EXPECT_EQ(views.FlowCell(12, 1), "2х-канальный");
    EXPECT_EQ(views.FlowCell(0, 1), "10000");

    Run(ReadFirmwareMd5);
    EXPECT_EQ(views.Trk(2), "3A7F10C25E910BD46628E34D8C01B975");
    EXPECT_EQ(worker.Md5Read, 1);
}

TEST_F(ReadersE2e, DisplayBoardsAndKeyboards) {
    Start();
    struct Case { int device; const char* type; const char* temperature; const char* version; };
    for (auto [device, type, temperature, version] :
         {Case{0, "LED", "21°C", "v3.1"}, {2, "LCD", "23°C", "v2.0"}, {3, "LCD", "---", "v2.0"},
          {4, "2", "25°C", "v1.4"}, {5, "3", "26°C", "v1.4"}}) {
        Run(ReadTabloState, device);
        ASSERT_TRUE(Ok()) << worker.PollStatusText;
        EXPECT_EQ(views.TabloCell(0, device), type);
        EXPECT_EQ(views.TabloCell(3, device), temperature);
        EXPECT_EQ(views.TabloCell(1, device), version);
    }
    EXPECT_EQ(views.TabloCell(2, 0), "09.04.2021");
    EXPECT_EQ(views.TabloCell(5, 0), "79%");
    EXPECT_EQ(views.TabloCell(8, 0), "0");
    EXPECT_EQ(views.TabloCell(9, 0), "2");
    EXPECT_EQ(views.TabloCell(5, 4), "");
    EXPECT_EQ(views.ColourCorrections.size(), 3u);
}

TEST_F(ReadersE2e, ConfigurationWrittenIsReadBack) {
    Start();
    Run(ReadTrkCfg);
    ASSERT_EQ(worker.TrkCfgRead, 1) << worker.PollStatusText;
    ASSERT_TRUE(views.TrkCfgShown);
    TrkCfgControls controls = *views.TrkCfgShown;
    EXPECT_EQ(controls.ChannelCountIndex, 4);
    EXPECT_EQ(controls.HoseSet[2], 2);  // hose 3 alone

    // The engineer makes two channels of five hoses and moves a pump.
    controls.ChannelCountIndex = 1;
    controls.HoseSet[0] = HoseSetIndex(0x07);  // "1+2+3"
    controls.HoseSet[1] = HoseSetIndex(0x18);  // "4+5"
    controls.PumpOut[1] = 14;
    controls.KazakhPrice = true;
    controls.ChannelBoard[1] = {false, true, true, false};
    auto staged = worker.TrkCfg;
    ControlsToTrkCfg(controls, staged);
    worker.TrkCfg = staged;
    Run(WriteTrkCfg);
    EXPECT_EQ(worker.CommandStatusText, "Запись конфигурации ТРК...OK");
    EXPECT_EQ(worker.TrkCfgRead, 0);

    worker.TrkCfg = {};
    views.Calls.clear();
    Run(ReadTrkCfg);
    EXPECT_EQ(worker.TrkCfg, staged);
    EXPECT_EQ(*views.TrkCfgShown, controls);
    EXPECT_TRUE(views.Called("SetTrkCfgWriteButtonEnabled 1"));
    EXPECT_TRUE(views.Called("SetChannelCount 2"));
}

TEST_F(ReadersE2e, RefusedConfigurationIsStillReadAgain) {
    Start();
    Run(ReadTrkCfg);
    auto before = worker.TrkCfg;
    worker.TrkCfg[0] = 0;  // no channels: the controller will not take it
    Run(WriteTrkCfg);
    EXPECT_TRUE(worker.CommandStatusText.starts_with("Запись конфигурации ТРК...Ошибка 18")) << worker.CommandStatusText;
    EXPECT_EQ(worker.TrkCfgRead, 0);
    Run(ReadTrkCfg);
    EXPECT_EQ(worker.TrkCfg, before);
}

TEST_F(ReadersE2e, SubControllerPage) {
    Start({"--address", "3", "--subtrk", "2", "--logical-channels", "12", "--subtrk2-state", "29"});
    worker.DeviceAddress = 3;
    Run(ReadSubTrkCfg);
    ASSERT_TRUE(Ok()) << worker.PollStatusText;
    ASSERT_TRUE(views.SubTrkCfgShown);
    EXPECT_EQ(*views.SubTrkCfgShown, (SubTrkCfgTexts{"5", "2", "12", "115200", "67", "На связи", "195",
                                                     "Неправильная длина ответа"}));
    EXPECT_TRUE(views.Called("SetChannelCount 12"));
    EXPECT_TRUE(views.Called("SetSubTrkCount 2"));
    EXPECT_EQ(worker.LogicalChannelCount(), 12);

    SubTrkValues values = SubTrkValuesToWrite("70", "", "9600");
    ASSERT_EQ(values.Error, "");
    worker.SubTrk1AddressToWrite = values.Bytes[0];
    worker.SubTrk2AddressToWrite = values.Bytes[1];
    worker.SubTrkBitRateDivisorToWrite = values.Bytes[2];
    Run(WriteSubTrkCfg);
    EXPECT_EQ(worker.PollStatusText, "Запись конфигурации ТРК...OK");
    Run(ReadSubTrkCfg);
    EXPECT_EQ(views.SubTrkCfgShown->Address1, "70");
    EXPECT_EQ(views.SubTrkCfgShown->Address2, "0");
    EXPECT_EQ(views.SubTrkCfgShown->BitRate, "9600");
}

TEST_F(ReadersE2e, ChannelsBeyondTheControllerAreRefused) {
    Start();
    Run(ReadChannelState, 15);
    EXPECT_TRUE(worker.PollStatusText.starts_with("Чтение блока данных...Ошибка 18")) << worker.PollStatusText;
    EXPECT_TRUE(views.ChCells.empty());
}

}  // namespace
