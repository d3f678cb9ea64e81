// What a poll adds for the service engineer, against the virtual controller: advice when
// the controller stays silent, and the link figures in the exchange log when it stops.
#include "commands/PollCycle.h"
#include "engine/ComThreadUnit.h"
#include "link/ComPortUnit.h"
#include "link/Cp1251.h"
#include "link/ExchangeLog.h"
#include "tests/support/RecordingViews.h"
#include "tests/support/SimHarness.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class PollServiceE2e : public ::testing::Test {
protected:
    void SetUp() override {
        WorkerRunning = false;
        CurrentWorker = nullptr;
        ComPort.SetLine(nullptr);
        log_ = fs::temp_directory_path() / ("ornix-poll-service-" + std::to_string(getpid()) + ".log");
        SetExchangeLogPath(log_.string());
        ASSERT_TRUE(sim.Started()) << sim.Error();
    }
    void TearDown() override {
        StopPoll();
        SetExchangeLogPath("");
        fs::remove(log_);
    }
    void StartPoll() {
        views.PortPanel = sim.PortName();
        ASSERT_TRUE(StartOperation(views.Bundle(ui), views.PortPanel, 9600, PollCycle));
    }
    void StopPoll() {
        if (!WorkerRunning) return;
        CurrentWorker->Terminate();
        EXPECT_TRUE(ui.PumpUntil([] { return !WorkerRunning.load(); }));
    }

    SimHarness sim;
    TRecordingViews views;
    TPumpedDispatcher ui;
    fs::path log_;
};

constexpr char kAdvice[] = "Контроллер не отвечает: проверьте сетевой адрес и скорость обмена (панели внизу слева)";

TEST_F(PollServiceE2e, SilenceBringsAdviceThatGoesWhenTheControllerAnswers) {
    views.Window.DevAddr = 9;  // the controller listens at 1
    StartPoll();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(ui.PumpUntil([&] { return views.LastError() == kAdvice; }));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2900));
    sim.WithBus([](SimBus& bus) {
        bus.Main().State.Address = 9;
        return 0;
    });
    ASSERT_TRUE(ui.PumpUntil([&] { return views.LastError() == "OK"; }));
}

TEST_F(PollServiceE2e, StoppedPollLeavesItsFiguresAsOneEntry) {
    StartPoll();
    // A few passes, then stop.
    ASSERT_TRUE(ui.PumpUntil([] { return ComPort.Statistics.Snapshot()[209].answers >= 10; }));
    StopPoll();

    std::ifstream in(log_, std::ios::binary);
    const std::string text = Cp1251ToUtf8(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    const auto at = text.find("Статистика обмена\r\n");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(text.find("Статистика обмена", at + 1), std::string::npos) << "one entry";
    EXPECT_NE(text.find("Команда 0: обменов ", at), std::string::npos);
    EXPECT_NE(text.find("Команда 209: обменов ", at), std::string::npos);
    EXPECT_NE(text.find("время ответа ср. ", at), std::string::npos);
}

}  // namespace
