// The bus search: the order of the rates, the memo lines, and a whole search against the
// virtual controller with devices at several rates, a VRX 2.0 device and two that collide.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <fcntl.h>
#include <stdlib.h>
#include <thread>
#include <unistd.h>

#include "commands/NetAddressSearch.h"
#include "engine/ComThreadUnit.h"
#include "link/ComPortUnit.h"
#include "sim/SimOptions.h"
#include "tests/support/RecordingSerialLine.h"
#include "tests/support/RecordingViews.h"
#include "tests/support/SimHarness.h"

namespace {

TEST(NetSearch, CurrentRateFirstOthersInListOrder) {
    using Rates = std::vector<int>;
    EXPECT_EQ(SearchRates(19200), (Rates{19200, 4800, 9600, 38400, 57600, 115200}));
    EXPECT_EQ(SearchRates(4800), (Rates{4800, 9600, 19200, 38400, 57600, 115200}));
    EXPECT_EQ(SearchRates(115200), (Rates{115200, 4800, 9600, 19200, 38400, 57600}));
    EXPECT_EQ(SearchRates(1200), (Rates{4800, 9600, 19200, 38400, 57600, 115200}));
}

TEST(NetSearch, MemoLines) {
    struct Case { int rate, address; bool clean; std::optional<uint16_t> type; const char* line; };
    const Case cases[] = {
        {9600, 3, true, 33, "9600 3 найдено 5-канальная ТРК\r\n"},
        {4800, 12, true, std::nullopt, "4800 12 найдено контроллер VRX 2.0\r\n"},
        {19200, 7, false, std::nullopt, "19200 7 КОНФЛИКТ\r\n"},
        {4800, 225, false, std::nullopt, "4800 225 КОНФЛИКТ\r\n"},
        {57600, 255, true, 0x8000 | 33, "57600 255 найдено 5-канальная ТРК (Загрузчик)\r\n"},
        // A clean answer too short to carry a type names no type it did not send.
        {38400, 9, true, std::nullopt, "38400 9 найдено Неизвестное устройство\r\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(FoundLineText(c.rate, c.address, c.clean, c.type), c.line);
}

class NetSearchE2e : public ::testing::Test {
protected:
    void SetUp() override {
        WorkerRunning = false;
        CurrentWorker = nullptr;
        LastStatusShown = 0;
        ComPort.SetLine(nullptr);
        SimConfig config;
        std::string error;
        // 9600/3 (the main controller), 19200/7, a VRX 2.0 device at 5 and two units that
        // answer together at 38400/2.
        ASSERT_TRUE(ParseSimArguments({"--address", "3", "--device", "7:19200", "--device", "5:4800",
                                       "--device", "2:38400:9", "--device", "2:38400:9"},
                                      config, error)) << error;
        sim = std::make_unique<SimHarness>(config);
        ASSERT_TRUE(sim->Started()) << sim->Error();
        views.PortPanel = sim->PortName();
    }
    void TearDown() override {
        if (WorkerRunning) {
            CurrentWorker->Terminate();
            ui.PumpUntil([] { return !WorkerRunning.load(); });
        }
        ComPort.Close();
    }

    // The rates in the order the progress texts name them.
    std::vector<int> RatesSearched() const {
        std::vector<int> rates;
        for (const std::string& text : views.StatusTexts) {
            const std::string head = "Поиск сетевых адресов ";
            if (!text.starts_with(head)) continue;
            const int rate = std::stoi(text.substr(head.size()));
            if (rates.empty() || rates.back() != rate) rates.push_back(rate);
        }
        return rates;
    }

    std::unique_ptr<SimHarness> sim;
    TRecordingViews views;
    TPumpedDispatcher ui;
};

TEST_F(NetSearchE2e, EveryRateCurrentFirstWithFindsAndAConflict) {
    ComPort.PortName = sim->PortName();
    ASSERT_EQ(ComPort.Open(), 0);
    TComThread w(views.Bundle());
    w.FreeOnTerminate = false;
    w.BitRate = 19200;
    w.SearchFrom = 1;
    w.SearchTo = 8;
    SearchNetAddresses(w, 6);

    EXPECT_EQ(RatesSearched(), (std::vector<int>{19200, 4800, 9600, 38400, 57600, 115200}));
    EXPECT_EQ(views.FoundLines, (std::vector<std::string>{
        "19200 7 найдено 5-канальная ТРК\r\n", "4800 5 найдено контроллер VRX 2.0\r\n",
        "9600 3 найдено 5-канальная ТРК\r\n", "38400 2 КОНФЛИКТ\r\n"}));
    EXPECT_EQ(views.StatusTexts.back(), "Поиск сетевых адресов 115200 8...Нет ответа");
    // The staged range at the fast rates, the VRX range at 4800.
    std::set<std::string> probed;
    for (const std::string& text : views.StatusTexts)
        if (text.starts_with("Поиск")) probed.insert(text.substr(0, text.find("...")));
    EXPECT_EQ(probed.size(), 5u * 8 + 6);
    EXPECT_TRUE(probed.count("Поиск сетевых адресов 4800 6") && !probed.count("Поиск сетевых адресов 4800 7"));
    // The port goes back to the rate it was opened with.
    EXPECT_EQ(ComPort.GetBitRate(), 19200);
}

TEST_F(NetSearchE2e, StopEndsAfterTheCurrentProbe) {
    ASSERT_TRUE(StartOperation(views.Bundle(ui), views.PortPanel, 19200, FindNetAddress, [](TComThread& w) {
        w.SearchFrom = 1;
        w.SearchTo = 200;
    }));
    ASSERT_TRUE(ui.PumpUntil([&] { return !views.FoundLines.empty(); }));
    CurrentWorker->Terminate();
    ASSERT_TRUE(ui.PumpUntil([] { return !WorkerRunning.load(); }, std::chrono::seconds(2)));
    EXPECT_EQ(views.FoundLines, std::vector<std::string>{"19200 7 найдено 5-канальная ТРК\r\n"});
    // Address 7 answered; at most the probe under way when the stop came followed it.
    const std::string& last = views.StatusTexts.back();
    EXPECT_TRUE(last.starts_with("Поиск сетевых адресов 19200 7...") || last.starts_with("Поиск сетевых адресов 19200 8..."))
        << last;
    EXPECT_EQ(views.FindNetAddrCaption, "Начать");
}

// A job that runs passes and the hand-overs between them until it is terminated, like the
// poll; a failed write does not end it, so a search with failing writes runs inside it.
std::atomic<int> gPasses{0};
void Passes(TComThread& w) {
    while (!w.Terminated()) {
        w.Synchronize([] { ++gPasses; });
        w.RunHandedOver();
    }
}

// The search's pauses under the test's control: no time passes, and after `gStopAfter`
// pauses the engineer presses "СТОП".
std::atomic<int> gPauses{0};
std::atomic<int> gStopAfter{0};
void CountedPause(std::chrono::milliseconds) {
    if (++gPauses == gStopAfter) RequestSearchStop();
}

// A search handed to a running job: its caption comes back when the search ends, while the
// job goes on; its "СТОП" stops the search alone, also when no probe can be sent (adapter
// unplugged: every write fails at once, so only the check on that path can end it).
TEST(NetSearchInAJob, CaptionFollowsTheSearchAndItsStopLeavesTheJobRunning) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    grantpt(master);
    unlockpt(master);
    struct Row {
        const char* name;
        int stopAfter;  // 0: the search runs to its end
    };
    for (const Row& row : {Row{"to the end", 0}, Row{"stopped", 3}}) {
        SCOPED_TRACE(row.name);
        WorkerRunning = false;
        gPasses = 0;
        gPauses = 0;
        gStopAfter = row.stopAfter;
        SearchPause = CountedPause;
        ClearSearchStop();
        TRecordingViews views;
        TPumpedDispatcher ui;
        views.PortPanel = ptsname(master);
        RecordingSerialLine& line = UseRecordingLine();
        ASSERT_TRUE(StartOperation(views.Bundle(ui), views.PortPanel, 9600, Passes));
        ASSERT_TRUE(ui.PumpUntil([] { return gPasses > 0; }));
        line.FailWrites(true);
        views.FindNetAddrCaption = "СТОП";  // as the window sets it when it hands the search over
        EXPECT_FALSE(StartOperation(views.Bundle(ui), views.PortPanel, 9600, FindNetAddress, [](TComThread& w) {
            w.SearchFrom = 1;
            w.SearchTo = 127;
        }));
        ASSERT_TRUE(ui.PumpUntil([&] { return views.FindNetAddrCaption == "Начать"; }));
        const int passesAtEnd = gPasses;
        ASSERT_TRUE(ui.PumpUntil([&] { return gPasses > passesAtEnd + 2; })) << "the job goes on";
        EXPECT_TRUE(WorkerRunning);
        // Every write failed; the wake-up bytes of each rate count as one.
        const size_t writes = line.Requests().size();
        if (row.stopAfter == 0) {
            EXPECT_EQ(writes, 6 + 5u * 127 + kVrxSearchLast);
        } else {
            // Pauses: the wake-up's, the first probe's, the second probe's with the stop. That
            // probe went out (and failed) and was the last.
            EXPECT_EQ(writes, 1u + 2);
        }
        CurrentWorker->Terminate();
        ASSERT_TRUE(ui.PumpUntil([] { return !WorkerRunning.load(); }));
        ComPort.SetLine(nullptr);
        ComPort.Error = 0;
    }
    SearchPause = [](std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms); };
    ClearSearchStop();
    close(master);
}

}  // namespace
