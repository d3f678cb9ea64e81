// The sales run against ornix-sim: which dose commands go out for which channel, and what the
// exchange log says, with the controller's fills pouring on a clock that runs fast.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "commands/SellTest.h"
#include "engine/ComThreadUnit.h"
#include "link/ComPortUnit.h"
#include "link/Cp1251.h"
#include "link/ExchangeLog.h"
#include "sim/SimBus.h"
#include "sim/SimOptions.h"
#include "tests/support/RecordingSerialLine.h"
#include "tests/support/RecordingViews.h"
#include "tests/support/SimHarness.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr uint8_t kLoadDose = 200, kStartDose = 201, kConfirm = 207, kDataBlock = 209;

class SellTestE2e : public ::testing::Test {
protected:
    void SetUp() override {
        WorkerRunning = false;
        CurrentWorker = nullptr;
        ComPort.Error = 0;
        log = fs::temp_directory_path() / ("ornix-sell-" + std::to_string(::getpid()) + ".log");
        fs::remove(log);
        SetExchangeLogPath(log.string());
        line = &UseRecordingLine();
    }
    void TearDown() override {
        Stop();
        ComPort.Close();
        ComPort.SetLine(nullptr);
        SetExchangeLogPath("");
        fs::remove(log);
    }

    // Fills pour at 5 l/s on a clock 200 times faster than the host's: a 10 l dose is out
    // within 10 ms, before the next pass asks.
    void Start(int channels, const std::vector<std::string>& options = {},
               const std::function<void(ControllerState&)>& change = {}) {
        SimConfig config;
        std::string error;
        ASSERT_TRUE(ParseSimArguments(options, config, error)) << error;
        config.Controller.Pouring.Customers = false;
        config.Controller.Pouring.FlowMlPerSecond = 5000;
        config.Controller.Status.TrkCfg[0] = uint8_t(channels);
        if (change) change(config.Controller);
        const int64_t t0 = HostClock()();
        sim = std::make_unique<SimHarness>(config, [t0] { return t0 + (HostClock()() - t0) * 200; });
        ASSERT_TRUE(sim->Started());
        views.PortPanel = sim->PortName();
        ASSERT_TRUE(StartOperation(views.Bundle(ui), views.PortPanel, 9600, RunSellTest));
    }
    void Stop() {
        if (!WorkerRunning) return;
        CurrentWorker->Terminate();
        EXPECT_TRUE(ui.PumpUntil([] { return !WorkerRunning.load(); }));
    }

    std::vector<std::string> LogEntries() const {
        std::ifstream in(log, std::ios::binary);
        std::vector<std::string> entries;
        for (std::string l; std::getline(in, l);) {
            const std::string text = Cp1251ToUtf8(l);
            for (const char* wanted : {"Начинаем тест продаж", "Новый канал ", "Подтверждение канала "})
                if (const size_t at = text.find(wanted); at != std::string::npos) entries.push_back(text.substr(at));
        }
        for (std::string& e : entries)
            if (!e.empty() && e.back() == '\r') e.pop_back();
        return entries;
    }
    size_t NewChannelEntries() const {
        size_t n = 0;
        for (const std::string& e : LogEntries()) n += e.starts_with("Новый канал ");
        return n;
    }
    size_t Sent(uint8_t command) const {
        size_t n = 0;
        for (const auto& r : line->Requests()) n += r.Content.size() >= 2 && r.Content[1] == command;
        return n;
    }

    // "200/0" for a dose load on channel 0 and so on: the dose commands in the order sent.
    std::vector<std::string> DoseCommands() const {
        std::vector<std::string> sent;
        for (const auto& r : line->Requests()) {
            const Bytes& c = r.Content;
            if (c.size() >= 3 && (c[1] == kLoadDose || c[1] == kStartDose || c[1] == kConfirm))
                sent.push_back(std::to_string(c[1]) + "/" + std::to_string(c[2]));
        }
        return sent;
    }
    size_t FirstRequestOf(uint8_t command) const {
        const auto requests = line->Requests();
        for (size_t i = 0; i < requests.size(); ++i)
            if (requests[i].Content.size() >= 2 && requests[i].Content[1] == command) return i;
        return requests.size();
    }

    fs::path log;
    RecordingSerialLine* line = nullptr;
    std::unique_ptr<SimHarness> sim;
    TRecordingViews views;
    TPumpedDispatcher ui;
};

TEST_F(SellTestE2e, OneChannelSellsAgainAndAgain) {
    Start(1);
    ASSERT_TRUE(ui.PumpUntil([&] { return NewChannelEntries() >= 2; }, std::chrono::seconds(30)));
    Stop();
    const auto entries = LogEntries();
    EXPECT_EQ(entries[0], "Начинаем тест продаж");
    // Every confirmation after a started dose names channel index 1; the next pass wraps to 0.
    for (size_t i = 1; i < entries.size(); ++i) EXPECT_EQ(entries[i], "Новый канал 1");
    const auto doses = DoseCommands();
    ASSERT_GE(doses.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(doses.begin(), doses.begin() + 6),
              (std::vector<std::string>{"200/0", "201/0", "207/0", "200/0", "201/0", "207/0"}));
    EXPECT_LT(FirstRequestOf(kDataBlock), FirstRequestOf(kLoadDose));
    // The dose is 10 l by volume.
    for (const auto& r : line->Requests()) {
        if (r.Content.size() > 1 && r.Content[1] == kLoadDose) {
            EXPECT_EQ(Bytes(r.Content.begin() + 3, r.Content.end()), (Bytes{0, 0x10, 0x27, 0, 0}));
        }
    }
}

TEST_F(SellTestE2e, ThreeChannelsInTurnAndABlockedOneSkipped) {
    Start(3, {}, [](ControllerState& s) { s.Status.Channels[1].Blocked = true; });
    ASSERT_TRUE(ui.PumpUntil([&] { return NewChannelEntries() >= 4; }, std::chrono::seconds(30)));
    Stop();
    // While a fill pours the run moves on, so channels 0 and 2 sell and get confirmed in turn;
    // the blocked channel 1 gets no dose command at all.
    const auto doses = DoseCommands();
    for (const char* d : {"200/0", "201/0", "207/0", "200/2", "201/2", "207/2"})
        EXPECT_NE(std::find(doses.begin(), doses.end(), d), doses.end()) << d;
    for (size_t i = 0; i < doses.size(); ++i) {
        EXPECT_FALSE(doses[i].ends_with("/1")) << doses[i];
        if (doses[i].starts_with("201/")) {
            EXPECT_EQ(doses[i - 1], "200/" + doses[i].substr(4));
        }
    }
}

TEST_F(SellTestE2e, FinishedFillAtTheStartIsConfirmedWithoutAdvancing) {
    Start(3, {}, [](ControllerState& s) { s.Pouring.Channels[0].Phase = SimFillPhase::Finished; });
    ASSERT_TRUE(ui.PumpUntil([&] { return NewChannelEntries() >= 1; }, std::chrono::seconds(30)));
    Stop();
    EXPECT_EQ(LogEntries()[1], "Новый канал 0");
    EXPECT_EQ(DoseCommands().front(), "207/0");
}

TEST_F(SellTestE2e, SilentControllerGetsNoDoseCommand) {
    Start(3, {"--address", "5"});
    ASSERT_TRUE(ui.PumpUntil([&] { return line->Requests().size() >= 2; }));
    Stop();
    EXPECT_TRUE(DoseCommands().empty());
    EXPECT_EQ(LogEntries(), std::vector<std::string>{"Начинаем тест продаж"});
    EXPECT_EQ(views.SellTestCaption, "Тест продаж");
}

// A controller that keeps refusing the confirmation gets it a few times a second, not
// thousands, and the log tells of the refusal once.
TEST_F(SellTestE2e, RefusedConfirmationIsLoggedOnceAndTriedAFewTimesASecond) {
    Start(1, {"--result", "207:187"}, [](ControllerState& s) { s.Pouring.Channels[0].Phase = SimFillPhase::Finished; });
    ASSERT_TRUE(ui.PumpUntil([&] { return Sent(kConfirm) >= 1; }));
    const auto first = std::chrono::steady_clock::now();
    ui.PumpUntil([] { return false; }, std::chrono::milliseconds(1500));
    const auto tries = Sent(kConfirm);
    const auto elapsed = std::chrono::steady_clock::now() - first;
    Stop();
    const auto pauses = size_t(elapsed / std::chrono::milliseconds(ConfirmRetry::kPauseMs));
    EXPECT_GE(tries, 2u);
    EXPECT_LE(tries, pauses + 2);
    const auto entries = LogEntries();
    EXPECT_EQ(std::count_if(entries.begin(), entries.end(), [](const std::string& e) {
                  return e.starts_with("Подтверждение канала 1 не принято: Ошибка 187");
              }),
              1)
        << ::testing::PrintToString(entries);
    EXPECT_TRUE(DoseCommands().size() == tries) << "nothing but confirmations on a finished channel";
}

// A data block that went unanswered says nothing of this pass: the run must not load and start
// a dose again on the status bytes of the pass before, when the channel was still ready.
TEST_F(SellTestE2e, NoDoseCommandOnTheStatusOfAnEarlierPass) {
    std::atomic<int> dropLeft{0};
    std::atomic<bool> armed{true};
    std::atomic<bool> hidden{false};
    // Runs on the worker before each request goes out: the two data-block reads after the first
    // start find the controller deaf to its address.
    line->OnRequest = [&](const std::vector<uint8_t>& c) {
        if (hidden.exchange(false)) sim->WithBus([](SimBus& bus) { bus.Main().State.Address = 1; });
        if (c.size() < 2) return;
        if (c[1] == kStartDose && armed.exchange(false)) dropLeft = 2;
        if (c[1] == kDataBlock && dropLeft > 0) {
            --dropLeft;
            hidden = true;
            sim->WithBus([](SimBus& bus) { bus.Main().State.Address = 99; });
        }
    };
    Start(1);
    ASSERT_TRUE(ui.PumpUntil([&] { return NewChannelEntries() >= 2; }, std::chrono::seconds(30)));
    Stop();
    EXPECT_FALSE(armed);
    EXPECT_EQ(dropLeft, 0);
    const auto doses = DoseCommands();
    // After every start the next dose command is its confirmation.
    for (size_t i = 0; i + 1 < doses.size(); ++i) {
        if (doses[i].starts_with("201/")) {
            EXPECT_EQ(doses[i + 1], "207/0") << ::testing::PrintToString(doses);
        }
    }
}

// A dose window click while the run goes on stages its own channel for its own command; the
// run keeps to the channel it is at.
void DoseWindowCommand(TComThread&) {}

TEST_F(SellTestE2e, DoseWindowChannelDoesNotMoveTheRun) {
    // Every pass, before its clock read, the engineer clicks channel 3 in the dose window.
    line->OnRequest = [](const std::vector<uint8_t>& c) {
        if (c.size() >= 2 && c[1] == 8)
            CurrentWorker->HandOver(DoseWindowCommand, [](TComThread& w) { w.SelectedChannel = 2; });
    };
    Start(3);
    ASSERT_TRUE(ui.PumpUntil([&] { return DoseCommands().size() >= 2; }, std::chrono::seconds(30)));
    Stop();
    EXPECT_EQ(DoseCommands().front(), "200/0");
}

}  // namespace
