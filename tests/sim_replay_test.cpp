// Replay of a tester's exchange log: what the simulator learns from a log, what it answers,
// and a poll of the replayed log showing what the poll that wrote it showed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

#include "commands/PollCycle.h"
#include "engine/ComThreadUnit.h"
#include "link/ComPortUnit.h"
#include "link/Cp1251.h"
#include "link/ExchangeLog.h"
#include "sim/ReplayBus.h"
#include "sim/ReplayLog.h"
#include "tests/support/RecordingViews.h"
#include "tests/support/SimOnComPort.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(ReplayLog, StampsInTheFormsAUserMayHave) {
    struct Row {
        const char* Stamp;
        int64_t Ms;
    } rows[] = {
        {"09.12.2026 17:48:22:123 ", ((17 * 60 + 48) * 60 + 22) * 1000 + 123},
        {"12/09/26 05:48:22 PM:007 ", ((17 * 60 + 48) * 60 + 22) * 1000 + 7},
        {"12/09/26 12:00:01 AM:000 ", 1000},
        {"2026-12-09 7:05:09:999", ((7 * 60 + 5) * 60 + 9) * 1000 + 999},
        {"09.12.2026 17:48:22 ", -1},     // no milliseconds
        {"09.12.2026 25:48:22:123 ", -1}, // no such hour
        {"", -1},
        {":123", -1},
    };
    for (const Row& r : rows) EXPECT_EQ(StampMsOfDay(r.Stamp), r.Ms) << r.Stamp;
}

TEST(ReplayLog, AnswersPerRequestInRecordedOrder) {
    const std::string text = Utf8ToCp1251(
        "09.12.2026 10:00:00:000 Answer :01 00 00 C0 \r\n"  // began mid-exchange: no request
        "09.12.2026 10:00:00:100 Идентификация\r\n"
        "09.12.2026 10:00:00:100 Request:01 00 AA BB C0 \r\n"
        "09.12.2026 10:00:00:140 Answer :01 00 00 11 C0 \r\n"
        "09.12.2026 10:00:01:000 Request:01 00 AA BB C0 \r\n"
        "09.12.2026 10:00:01:120 Answer :\r\n"
        "Нет ответа\r\n"
        "09.12.2026 10:00:02:000 Request:01 00 AA BB C0 \r\n"
        "09.12.2026 10:00:02:100 Answer :7E 01 \r\n"           // noise the tester skipped
        "Нет ответа\r\n"
        "09.12.2026 10:00:03:000 Request:01 08 CC DD C0 \r\n"  // write failed: nothing read
        "Не могу записать данные в COM-порт\r\n"
        "09.12.2026 10:00:04:000 Request:01 08 XX DD C0 \r\n"  // unreadable bytes
        "09.12.2026 23:59:59:990 Request:01 09 C0 \r\n"
        "10.12.2026 00:00:00:030 Answer :01 09 00 C0 \r\n"
        "Статистика обмена\r\n");
    const ReplayLog log = ParseReplayLog(text);
    EXPECT_EQ(log.Requests, 5);
    EXPECT_EQ(log.SkippedLines, 1);
    ASSERT_EQ(log.Answers.size(), 2u);
    const auto& id = log.Answers.at(Bytes{0x01, 0x00, 0xAA, 0xBB, 0xC0});
    ASSERT_EQ(id.size(), 3u);
    EXPECT_EQ(id[0].Bytes, (Bytes{0x01, 0x00, 0x00, 0x11, 0xC0}));
    EXPECT_EQ(id[0].GapMs, 40);
    EXPECT_TRUE(id[1].Bytes.empty());
    EXPECT_TRUE(id[2].Bytes.empty());
    const auto& late = log.Answers.at(Bytes{0x01, 0x09, 0xC0});
    EXPECT_EQ(late[0].GapMs, 40);  // across midnight
}

TEST(ReplayLog, HexLinesReadOnlyWhenWhole) {
    Bytes b;
    EXPECT_TRUE(ParseHexLine("C0 01 ff ", b));
    EXPECT_EQ(b, (Bytes{0xC0, 0x01, 0xFF}));
    EXPECT_TRUE(ParseHexLine("", b));
    EXPECT_TRUE(b.empty());
    for (const char* bad : {"C", "C0 1", "C01 ", "G0", "C0-01"}) EXPECT_FALSE(ParseHexLine(bad, b)) << bad;
}

TEST(ReplayBus, RecordedOrderLastRepeatsUnknownIsSilent) {
    ReplayLog log;
    const Bytes id{0x01, 0x00, 0xC0}, vrx{0x7F, 0x02, 0x7D, 0x21, 0x5E, 0x42};
    log.Answers[id] = {{{0xA1, 0xC0}, 5}, {{}, 5}, {{0xA3, 0xC0}, 5}};
    log.Answers[vrx] = {{{0x02, 0x06}, 5}};
    ReplayBus bus(log, false, false);
    auto answerTo = [&](const Bytes& request) {
        const auto out = bus.Receive(request, LineSettings{9600}, 100);
        return out.empty() ? Bytes{} : out[0].Bytes;
    };
    EXPECT_EQ(answerTo(id), (Bytes{0xA1, 0xC0}));
    EXPECT_EQ(answerTo(id), Bytes{});  // the recorded silence
    EXPECT_EQ(answerTo(id), (Bytes{0xA3, 0xC0}));
    EXPECT_EQ(answerTo(id), (Bytes{0xA3, 0xC0}));
    EXPECT_EQ(answerTo({0x01, 0x08, 0xC0}), Bytes{});
    EXPECT_EQ(bus.Unknown(), 1);
    // A VRX request has no terminator: it is known by its bytes, even after noise.
    EXPECT_EQ(answerTo(Bytes{0x55, 0x7F, 0x02, 0x7D, 0x21, 0x5E, 0x42}), (Bytes{0x02, 0x06}));
    // Split over two reads, as a line delivers it.
    EXPECT_TRUE(bus.Receive(Bytes{0x01}, LineSettings{9600}, 0).empty());
    EXPECT_EQ(bus.Receive(Bytes{0x00, 0xC0}, LineSettings{9600}, 0).size(), 1u);
}

TEST(ReplayBus, TimingKeepsTheRecordedGapLessTheLineTime) {
    ReplayLog log;
    log.Answers[{0x01, 0x00, 0xC0}] = {{Bytes(7, 0x11), 40}};
    log.Answers[{0x01, 0x01, 0xC0}] = {{Bytes(7, 0x11), 60000}};
    ReplayBus plain(log, true, false), paced(log, true, true), untimed(log, false, false);
    EXPECT_EQ(plain.Receive(Bytes{0x01, 0x00, 0xC0}, {9600}, 100)[0].DueMs, 140);
    // Ten bytes at 9600 bit/s take 10.4 ms of the 40.
    EXPECT_EQ(paced.Receive(Bytes{0x01, 0x00, 0xC0}, {9600}, 100)[0].DueMs, 130);
    EXPECT_EQ(untimed.Receive(Bytes{0x01, 0x00, 0xC0}, {9600}, 100)[0].DueMs, 100);
    EXPECT_EQ(plain.Receive(Bytes{0x01, 0x01, 0xC0}, {9600}, 0)[0].DueMs, 10000);  // bounded
}

class ReplayE2e : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("ornix-replay-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir_);
        SetExchangeLogPath((dir_ / "site.log").string());
    }
    void TearDown() override {
        ComPort.Close();
        SetExchangeLogPath("");
        std::filesystem::remove_all(dir_);
    }

    // Start-up and a few passes, the way the poll cycle runs them; the views afterwards.
    std::unique_ptr<TRecordingViews> Poll(const std::vector<std::string>& simOptions) {
        std::string error;
        auto sim = StartSimOnComPort(simOptions, [] { return int64_t(800000000000); }, error);
        EXPECT_TRUE(sim) << error;
        auto views = std::make_unique<TRecordingViews>();
        if (!sim) return views;
        TComThread worker(views->Bundle());
        worker.DeviceAddress = 1;
        worker.BitRate = 9600;
        for (uint32_t n = 0; n < 6; ++n) {
            SyncDeviceState(worker);
            PollPass(worker, n);
        }
        ComPort.Close();
        return views;
    }

    std::filesystem::path dir_;
};

TEST_F(ReplayE2e, APollOfTheReplayedLogShowsWhatTheSitePollShowed) {
    const auto site = Poll({"--hardware-error", "37"});
    ASSERT_FALSE(site->TrkCells.empty());
    std::filesystem::copy_file(dir_ / "site.log", dir_ / "sent.log");
    SetExchangeLogPath((dir_ / "desk.log").string());
    const auto desk = Poll({"--replay", (dir_ / "sent.log").string()});
    EXPECT_EQ(desk->TrkCells, site->TrkCells);
    EXPECT_EQ(desk->ChCells, site->ChCells);
    EXPECT_EQ(desk->ValveCells, site->ValveCells);
    EXPECT_EQ(desk->FlowCells, site->FlowCells);
    EXPECT_EQ(desk->TabloCells, site->TabloCells);
    EXPECT_EQ(desk->Window.HdwErrCode, 37);
}

TEST_F(ReplayE2e, AnUnreadableLogStopsTheSimulator) {
    std::ofstream(dir_ / "empty.log") << "no exchanges here\r\n";
    for (const std::string& path : {(dir_ / "empty.log").string(), (dir_ / "missing.log").string()}) {
        SimConfig config;
        config.ReplayPath = path;
        SimServer sim(config);
        std::string error;
        EXPECT_FALSE(sim.Start(error)) << path;
        EXPECT_NE(error.find(path), std::string::npos) << error;
    }
}

}  // namespace
