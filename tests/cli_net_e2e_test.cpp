// The tool through a real ser2net on the simulator's pty: ornix-cli over RFC 2217 and raw TCP,
// the bus search walking the converter's rate, the failures that name the endpoint, and a
// converter that dies mid-poll.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "cli/CliRun.h"
#include "commands/NetAddressSearch.h"
#include "commands/PollCycle.h"
#include "engine/ComThreadUnit.h"
#include "link/ComPortUnit.h"
#include "link/Cp1251.h"
#include "link/ExchangeLog.h"
#include "link/Rfc2217Line.h"
#include "sim/SimOptions.h"
#include "tests/support/HexBytes.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/RecordingViews.h"
#include "tests/support/Ser2Net.h"
#include "tests/support/SimHarness.h"

namespace {

namespace fs = std::filesystem;

struct ProgramRun {
    int exit = -1;
    std::string out;  // stdout and stderr together
};

ProgramRun RunCli(const std::string& args) {
    const fs::path cli = fs::read_symlink("/proc/self/exe").parent_path() / "ornix-cli";
    ProgramRun r;
    FILE* p = popen((cli.string() + " " + args + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) r.out.append(buffer, n);
    const int status = pclose(p);
    r.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::unique_ptr<SimHarness> StartSim(const std::vector<std::string>& args) {
    SimConfig config;
    std::string error;
    if (!ParseSimArguments(args, config, error)) return nullptr;
    return std::make_unique<SimHarness>(config);
}

// A listener on loopback whose accept queue is full: a further connect gets no answer to its
// SYN and hangs, as a converter behind a dead route does.
class HangingListener {
public:
    HangingListener() {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listener_, 0) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length) != 0)
            return;
        port_ = ntohs(a.sin_port);
        // Backlog 0 still queues one connection; two fill it whatever the kernel rounds to.
        for (int& filler : fillers_) {
            filler = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            connect(filler, reinterpret_cast<sockaddr*>(&a), sizeof a);
        }
        usleep(50000);
    }
    ~HangingListener() {
        for (int filler : fillers_) close(filler);
        close(listener_);
    }
    int Port() const { return port_; }

private:
    int listener_ = -1;
    int fillers_[2] = {-1, -1};
    int port_ = 0;
};

class NetLineE2e : public ::testing::Test {
protected:
    void SetUp() override {
        WorkerRunning = false;
        CurrentWorker = nullptr;
        LastStatusShown = 0;
        ComPort.SetLine(nullptr);
        ComPort.ExtraTimeoutMs = -1;
        log_ = fs::temp_directory_path() / ("ornix-net-" + std::to_string(getpid()) + ".log");
        fs::remove(log_);
        SetExchangeLogPath(log_.string());
    }
    void TearDown() override {
        ComPort.Close();
        SetExchangeLogPath({});
        fs::remove(log_);
    }
    std::string Log() const {
        std::ifstream in(log_, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return Cp1251ToUtf8(text.str());
    }
    // Rates in the order the search's progress texts name them, each once.
    static std::vector<int> RatesSearched(const TRecordingViews& views) {
        const std::string head = "Поиск сетевых адресов ";
        std::vector<int> rates;
        for (const std::string& text : views.StatusTexts)
            if (text.starts_with(head)) rates.push_back(std::stoi(text.substr(head.size())));
        rates.erase(std::unique(rates.begin(), rates.end()), rates.end());
        return rates;
    }

    fs::path log_;
};

TEST_F(NetLineE2e, CliIdentifiesAndPollsThroughEitherConverterAndNamesEndpointsItCannotReach) {
    auto sim = StartSim({"--address", "1"});
    ASSERT_TRUE(sim && sim->Started());
    Ser2Net rfc("/dev/" + sim->PortName(), Ser2Net::Mode::Rfc2217);
    ASSERT_TRUE(rfc.Started()) << rfc.Error();
    auto rawSim = StartSim({"--address", "1"});
    ASSERT_TRUE(rawSim && rawSim->Started());
    Ser2Net raw("/dev/" + rawSim->PortName(), Ser2Net::Mode::RawTcp);
    ASSERT_TRUE(raw.Started()) << raw.Error();
    const std::string refused = "rfc2217://127.0.0.1:" + std::to_string(FreeLoopbackPort());

    struct Row {
        std::string args;
        int exit;
        std::string says;
    } rows[] = {
        {"--port " + rfc.PortName() + " identify", 0, "5-канальная ТРК"},
        {"--port " + rfc.PortName() + " poll --passes 2", 0, "Тип устройства: 5-канальная ТРК"},
        {"--port " + raw.PortName() + " identify", 0, "5-канальная ТРК"},
        {"--port " + refused + " identify", 2, "Не могу открыть " + refused + " (" + refused.substr(10) +
                                                   ": соединение отвергнуто"},
        {"--port tcp://nosuch.invalid:4000 identify", 2, "nosuch.invalid:4000: имя nosuch.invalid не найдено"},
        // A plain TCP port asked for RFC 2217: the hint names the other prefix.
        {"--port rfc2217://127.0.0.1:" + std::to_string(raw.Port()) + " identify", 2,
         "попробуйте tcp://127.0.0.1:" + std::to_string(raw.Port())},
    };
    for (const Row& r : rows) {
        const ProgramRun run = RunCli(r.args);
        EXPECT_EQ(run.exit, r.exit) << r.args << "\n" << run.out;
        EXPECT_NE(run.out.find(r.says), std::string::npos) << r.args << "\n" << run.out;
    }
}

TEST_F(NetLineE2e, Rfc2217SearchFindsTheControllerAtItsOwnRateOnlyAndLogsWhatTheConverterConfirmed) {
    auto sim = StartSim({"--address", "3", "--baud", "19200"});
    ASSERT_TRUE(sim && sim->Started());
    Ser2Net rfc("/dev/" + sim->PortName(), Ser2Net::Mode::Rfc2217);
    ASSERT_TRUE(rfc.Started()) << rfc.Error();

    ComPort.PortName = rfc.PortName();
    ASSERT_EQ(ComPort.Open(), 0) << ComPort.OpenFailureReason;
    TRecordingViews views;
    TComThread w(views.Bundle());
    w.FreeOnTerminate = false;
    w.BitRate = 9600;
    w.SearchFrom = 2;
    w.SearchTo = 4;
    SearchNetAddresses(w, 2);

    EXPECT_EQ(RatesSearched(views), (std::vector<int>{9600, 4800, 19200, 38400, 57600, 115200}));
    // The rate reached the pty: the simulator answers at 19200 only.
    EXPECT_EQ(views.FoundLines, std::vector<std::string>{"19200 3 найдено 5-канальная ТРК\r\n"});
    EXPECT_EQ(ComPort.GetBitRate(), 9600);
    EXPECT_EQ(ComPort.TimeoutAllowanceMs(), 1u);  // loopback: well under a millisecond, rounded up
    ComPort.Close();

    const std::string log = Log();
    const std::string endpoint = rfc.PortName() + ": ";
    EXPECT_NE(log.find(endpoint + "COM-PORT-OPTION согласован, время круга "), std::string::npos) << log;
    for (const char* confirmed : {"9600 бит/с, 8N1", "4800 бит/с, 7E2", "19200 бит/с, 8N1", "115200 бит/с, 8N1"})
        EXPECT_NE(log.find(endpoint + "преобразователь подтвердил " + std::string(confirmed)), std::string::npos)
            << confirmed;
}

TEST_F(NetLineE2e, RawTcpSearchTriesOnlyTheConvertersRateAndSaysSo) {
    auto sim = StartSim({"--address", "3"});
    ASSERT_TRUE(sim && sim->Started());
    Ser2Net raw("/dev/" + sim->PortName(), Ser2Net::Mode::RawTcp);
    ASSERT_TRUE(raw.Started()) << raw.Error();

    ComPort.PortName = raw.PortName();
    ComPort.ExtraTimeoutMs = 40;  // a setting overrides the measured round trip
    ASSERT_EQ(ComPort.Open(), 0) << ComPort.OpenFailureReason;
    EXPECT_EQ(ComPort.TimeoutAllowanceMs(), 40u);
    EXPECT_NE(ComPort.Statistics.NetworkAllowanceText().find("+40 мс (задано настройкой)"), std::string::npos);
    TRecordingViews views;
    TComThread w(views.Bundle());
    w.FreeOnTerminate = false;
    w.BitRate = 9600;
    ComPort.SetBitRate(9600);
    w.SearchFrom = 2;
    w.SearchTo = 3;
    SearchNetAddresses(w, 2);

    EXPECT_EQ(RatesSearched(views), std::vector<int>{9600});
    EXPECT_EQ(views.FoundLines, (std::vector<std::string>{FixedRateSearchText(9600), "9600 3 найдено 5-канальная ТРК\r\n"}));
    // A rate change asked for later cannot happen on this line, and the log says so.
    ComPort.SetBitRate(4800);
    EXPECT_EQ(ComPort.GetBitRate(), 9600);
    EXPECT_NE(Log().find(raw.PortName() + ": перейти на 4800 бит/с на этой линии нельзя"), std::string::npos);
}

TEST_F(NetLineE2e, ConverterKilledMidPollStopsThePollWithTheReason) {
    auto sim = StartSim({"--address", "1"});
    ASSERT_TRUE(sim && sim->Started());
    Ser2Net rfc("/dev/" + sim->PortName(), Ser2Net::Mode::Rfc2217);
    ASSERT_TRUE(rfc.Started()) << rfc.Error();

    std::thread killer([&] {
        // Once the poll is under way: its first passes have read the controller.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (ComPort.Statistics.Snapshot().size() < 3 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        rfc.Kill();
    });
    TCliViews views;
    const CliOutcome o = RunCliOperation(views, CliLink{rfc.PortName(), 9600, 1}, PollCycle);
    killer.join();

    EXPECT_EQ(o.Exit, kExitNoLink);
    const std::string lost = "связь с 127.0.0.1:" + std::to_string(rfc.Port()) + " потеряна";
    EXPECT_NE(o.Reason.find(lost), std::string::npos) << o.Reason;
    ASSERT_FALSE(views.StatusTexts.empty());
    EXPECT_NE(views.StatusTexts.back().find("Не могу записать данные в COM-порт"), std::string::npos);
    ASSERT_FALSE(views.ErrorTexts.empty());
    EXPECT_EQ(views.ErrorTexts.back().rfind(lost, 0), 0u) << views.ErrorTexts.back();
}

TEST_F(NetLineE2e, AConnectThatHangsTimesOutOrIsGivenUpWhenThePollIsReleased) {
    HangingListener hanging;
    ASSERT_NE(hanging.Port(), 0);
    const std::string name = "rfc2217://127.0.0.1:" + std::to_string(hanging.Port());

    Rfc2217Line line;
    line.ConnectTimeoutMs = 300;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(line.Open(name));
    EXPECT_EQ(line.OpenFailure().reason, "127.0.0.1:" + std::to_string(hanging.Port()) + ": нет соединения за 1 с");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

    // The worker connects with the tool's own time-out; "Опрос" released gives it up at once.
    TRecordingViews views;
    TPumpedDispatcher ui;
    views.PortPanel = name;
    ASSERT_TRUE(StartOperation(views.Bundle(ui), name, 9600, PollCycle));
    ui.PumpUntil([] { return false; }, std::chrono::milliseconds(300));
    const auto released = std::chrono::steady_clock::now();
    CurrentWorker->Terminate();
    ASSERT_TRUE(ui.PumpUntil([] { return !WorkerRunning.load(); }, std::chrono::seconds(2)));
    EXPECT_LT(std::chrono::steady_clock::now() - released, std::chrono::milliseconds(500));
    ASSERT_FALSE(views.StatusTexts.empty());
    EXPECT_EQ(views.StatusTexts.back(), "Не могу открыть " + name);
    EXPECT_EQ(views.ErrorTexts.back(), "127.0.0.1:" + std::to_string(hanging.Port()) + ": подключение прервано");
}

TEST_F(NetLineE2e, Rfc2217CarriesEveryByteValueBothWays) {
    PtyPeer peer;
    ASSERT_TRUE(peer.IsOpen());
    Ser2Net rfc("/dev/" + peer.PortName(), Ser2Net::Mode::Rfc2217);
    ASSERT_TRUE(rfc.Started()) << rfc.Error();
    Rfc2217Line line;
    ASSERT_TRUE(line.Open(rfc.PortName())) << line.OpenFailure().reason;
    line.SetFormat(LineFormatFor(115200));
    EXPECT_EQ(line.BitRate(), 115200);

    const auto out = FromHex("01 FF 02 FF FF 00 0D 0A C0");
    ASSERT_EQ(line.Write(out.data(), int(out.size()), 1000), int(out.size()));
    EXPECT_EQ(ToHex(peer.ReadCount(out.size(), 2000)), ToHex(out));

    const auto in = FromHex("FF 00 FF FF 0D 00 FA F0 C0");
    ASSERT_TRUE(peer.Write(in));
    std::vector<uint8_t> got;
    uint8_t byte = 0;
    while (got.size() < in.size() && line.ReadByte(byte, 2000)) got.push_back(byte);
    EXPECT_EQ(ToHex(got), ToHex(in));
}

}  // namespace
