// A fill run the way a host runs it, against the virtual controller: load, start, the poured
// volume growing in the channel readings, stop, continue, confirm; block, price, and the
// refusals a real controller gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>

#include "commands/DoseCommands.h"
#include "commands/PollCycle.h"
#include "commands/StatusReaders.h"
#include "engine/ComThreadUnit.h"
#include "link/ComPortUnit.h"
#include "link/UserFormats.h"
#include "sim/SimBus.h"
#include "tests/support/RecordingViews.h"
#include "tests/support/SimOnComPort.h"

namespace {

constexpr int kPouredRow = 12;  // "Налито, (л)"

class DoseE2e : public ::testing::Test {
protected:
    void SetUp() override {
        UserFormats formats;
        formats.DecimalSeparator = ",";
        SetUserFormats(formats);
        std::string error;
        sim = StartSimOnComPort({"--flow", "500"}, [this] { return nowMs.load(); }, error);
        ASSERT_TRUE(sim) << error;
        worker.DeviceAddress = 1;
        worker.BitRate = 9600;
    }
    void TearDown() override { ComPort.Close(); }

    // Runs a writer for a channel and returns its result code.
    int Send(Op op, int channel) {
        worker.SelectedChannel = channel;
        worker.CurrentChannel = channel;
        op(worker);
        return ComPort.Error;
    }
    std::string Poured(int channel) {
        Send(ReadChannelState, channel);
        return views.Ch(kPouredRow, channel);
    }
    int Image(int row, int channel) { return views.ChImages[{row, channel}]; }
    template <typename F>
    auto Controller(F&& f) {
        return sim->WithBus([&](SimBus& bus) { return f(bus.Main().State); });
    }

    std::atomic<int64_t> nowMs{1'000'000};
    TRecordingViews views;
    TComThread worker{views.Bundle()};
    std::unique_ptr<SimHarness> sim;
};

TEST_F(DoseE2e, LoadStartStopContinueConfirm) {
    worker.DoseKind = kDoseByVolume;
    worker.DoseAmount = 5000;
    ASSERT_EQ(Send(LoadDose, 1), 0) << worker.CommandStatusText;
    EXPECT_EQ(worker.CommandStatusText, "Загрузка параметров дозы 2...OK");
    ASSERT_EQ(Send(StartDose, 1), 0) << worker.CommandStatusText;

    nowMs += 2000;  // 500 ml/s
    EXPECT_EQ(Poured(1), "1");
    nowMs += 2000;
    EXPECT_EQ(Poured(1), "2");

    ASSERT_EQ(Send(StopDose, 1), 0) << worker.CommandStatusText;
    nowMs += 4000;
    EXPECT_EQ(Poured(1), "2");  // a stopped fill pours nothing
    EXPECT_EQ(Send(StartDose, 1), 185);  // the nozzle is still busy with it

    ASSERT_EQ(Send(ContinueDose, 1), 0) << worker.CommandStatusText;
    nowMs += 10000;
    EXPECT_EQ(Poured(1), "5");
    EXPECT_EQ(Image(1, 1), Images::RedCross);  // "Доза не подтверждена"

    EXPECT_EQ(Send(LoadDose, 1), 33);
    ASSERT_EQ(Send(ConfirmFillEnd, 1), 0) << worker.CommandStatusText;
    Send(ReadChannelState, 1);
    EXPECT_EQ(Image(1, 1), Images::None);
    EXPECT_EQ(Send(ConfirmFillEnd, 1), 187);
}

TEST_F(DoseE2e, MoneyDosePricesAndQuickStart) {
    worker.PriceToWrite[0] = 5000;
    ASSERT_EQ(Send(WritePrice, 0), 0) << worker.CommandStatusText;
    worker.DoseKind = kDoseByMoney;
    worker.DoseAmount = 10000;  // 100,00 at 50,00 a litre
    ASSERT_EQ(Send(LoadDose, 0), 0) << worker.CommandStatusText;
    Send(ReadPrice, 0);
    EXPECT_EQ(views.Ch(21, 0), "50");
    EXPECT_EQ(views.LoadedDoses[0], std::make_pair(std::string("2"), std::string("100")));

    // "Запуск 5л" on a channel that has never poured: nothing to confirm, then load and start.
    worker.DoseKind = kDoseByVolume;
    worker.DoseAmount = 5000;
    Send(LoadAndStartDose, 2);
    EXPECT_EQ(worker.CommandStatusText, "Запуск дозы 3...OK");
    nowMs += 1000;
    EXPECT_EQ(Poured(2), "0,5");
}

TEST_F(DoseE2e, RefusalsOfTheController) {
    struct Case {
        const char* what;
        void (*prepare)(ControllerState&);
        Op op;
        int channel;
        int result;
    };
    const Case cases[] = {
        {"start without a dose", [](ControllerState&) {}, StartDose, 0, 186},
        {"stop without a fill", [](ControllerState&) {}, StopDose, 0, 186},
        {"continue without a fill", [](ControllerState&) {}, ContinueDose, 0, 186},
        {"no such nozzle", [](ControllerState&) {}, LoadDose, 7, 189},
        {"blocked", [](ControllerState& s) { s.Status.Channels[0].Blocked = true; }, LoadDose, 0, 182},
        {"display under test", [](ControllerState& s) { s.Status.Channels[0].DisplayBusy = true; }, LoadDose, 0, 181},
        {"emergency stop", [](ControllerState& s) { s.Doses.EmergencyStop = true; }, LoadDose, 0, 202},
        {"dose already out", [](ControllerState& s) { s.Pouring.Channels[0].Phase = SimFillPhase::Finished; },
         ContinueDose, 0, 188},
    };
    worker.DoseKind = kDoseByVolume;
    worker.DoseAmount = 1000;
    for (const Case& c : cases) {
        Controller([&](ControllerState& s) {
            s.Status.Channels[0] = {};
            s.Doses = {};
            s.Pouring.Channels[0].Phase = SimFillPhase::Ready;
            c.prepare(s);
            return 0;
        });
        EXPECT_EQ(Send(c.op, c.channel), c.result) << c.what;
        EXPECT_TRUE(worker.CommandStatusText.ends_with(ComPort.ResultText)) << c.what;
    }
}

TEST_F(DoseE2e, BlockAndUnblockShowInTheChannelState) {
    worker.BlockFlag = 1;
    ASSERT_EQ(Send(BlockChannel, 3), 0);
    Send(ReadChannelState, 3);
    EXPECT_EQ(Image(0, 3), Images::RedCross);
    worker.BlockFlag = 0;
    ASSERT_EQ(Send(BlockChannel, 3), 0);
    EXPECT_EQ(worker.CommandStatusText, "Разблокировка канала 4...OK");
    Send(ReadChannelState, 3);
    EXPECT_EQ(Image(0, 3), Images::GreyCheck);
}

// The same fill run from the poll, as the dose window runs it: each command is handed to the
// polling worker, and the poured volume is watched in the channel view the poll fills.
TEST(DosePollE2e, FillFollowedByThePoll) {
    UserFormats formats;
    formats.DecimalSeparator = ".";
    SetUserFormats(formats);
    WorkerRunning = false;
    CurrentWorker = nullptr;
    ComPort.SetLine(nullptr);
    SimConfig config;
    config.Controller.Pouring.Customers = false;
    config.Controller.Pouring.FlowMlPerSecond = 1000;
    std::atomic<int64_t> aheadMs{0};
    SimHarness sim(config, [&] { return HostClock()() + aheadMs.load(); });
    ASSERT_TRUE(sim.Started()) << sim.Error();
    TRecordingViews views;
    TPumpedDispatcher ui;
    views.PortPanel = sim.PortName();
    const TViews bundle = views.Bundle(ui);
    ASSERT_TRUE(StartOperation(bundle, views.PortPanel, 9600, PollCycle));

    auto run = [&](Op op, const std::string& shown, uint32_t doseMl = 0) {
        StartOperation(bundle, views.PortPanel, 9600, op, [doseMl](TComThread& w) {
            w.SelectedChannel = 1;
            w.DoseKind = kDoseByVolume;
            w.DoseAmount = doseMl;
        });
        return ui.PumpUntil([&] {
            return std::find(views.ErrorTexts.begin(), views.ErrorTexts.end(), shown) != views.ErrorTexts.end();
        });
    };
    auto reads = [&] {
        return std::count_if(views.Calls.begin(), views.Calls.end(),
                             [](const std::string& call) { return call.starts_with("SetChStatus 12 1 "); });
    };
    // The poured litres after the poll has read channel 1 `more` times again.
    auto poured = [&](int more) {
        const auto until = reads() + more;
        EXPECT_TRUE(ui.PumpUntil([&] { return reads() >= until; }));
        return std::stod(views.Ch(12, 1));
    };

    poured(1);  // the poll has taken its own hand-over: what comes now is handed over to it
    ASSERT_TRUE(run(LoadDose, "Загрузка параметров дозы 2...OK", 100000));
    ASSERT_TRUE(run(StartDose, "Запуск дозы 2...OK"));
    const double first = poured(1);
    aheadMs += 5000;
    EXPECT_GE(poured(1), first + 5);

    ASSERT_TRUE(run(StopDose, "Остановка дозы 2...OK"));
    const double stopped = poured(1);
    aheadMs += 5000;
    EXPECT_EQ(poured(2), stopped);

    ASSERT_TRUE(run(ContinueDose, "Долив дозы 2...OK"));
    aheadMs += 200000;
    EXPECT_TRUE(ui.PumpUntil([&] { return views.Ch(12, 1) == "100" && views.ChImages[{1, 1}] == Images::RedCross; }));
    ASSERT_TRUE(run(ConfirmFillEnd, "Подтверждение окончания налива 2...OK"));
    EXPECT_TRUE(ui.PumpUntil([&] { return views.ChImages[{1, 1}] == Images::None; }));

    CurrentWorker->Terminate();
    EXPECT_TRUE(ui.PumpUntil([] { return !WorkerRunning.load(); }));
}

}  // namespace
