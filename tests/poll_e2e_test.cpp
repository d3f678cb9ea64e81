// The poll cycle against the virtual controller: which request goes out when, read off a
// recording line as one short token per request, and what the views show meanwhile.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "commands/FlowmeterCommands.h"
#include "commands/ParameterCommands.h"
#include "engine/ComThreadUnit.h"
#include "commands/PollCycle.h"
#include "link/ComPortUnit.h"
#include "sim/Pouring.h"
#include "sim/SimBus.h"
#include "sim/SimClock.h"
#include "sim/SimOptions.h"
#include "tests/support/RecordingSerialLine.h"
#include "tests/support/RecordingViews.h"
#include "tests/support/SimHarness.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Requests by command, sub-code byte (-1: any) and request length (0: any); the index, if
// any, is the byte at IndexAt.
struct TokenRow {
    uint8_t Command;
    int SubAt, Sub;
    size_t Length;
    const char* Name;
    int IndexAt;
};
constexpr TokenRow kTokens[] = {
    {0, 2, 0, 0, "ID", -1},      {0, 2, 3, 0, "MD5", -1},      {211, 2, 0, 0, "SUB", -1},
    {211, 2, 4, 0, "TRK", -1},   {251, -1, 0, 0, "FT", -1},    {219, -1, 0, 0, "CUT", -1},
    {221, -1, 0, 0, "NB", -1},   {215, -1, 0, 2, "TS", -1},    {215, -1, 0, 4, "TB", 3},
    {229, -1, 0, 0, "FD", 3},    {8, -1, 0, 0, "T", -1},       {209, 3, 1, 0, "CH", 2},
    {209, 3, 2, 0, "PR", 2},     {209, 3, 3, 0, "FS", 2},      {208, -1, 0, 0, "LF", 2},
    {252, -1, 0, 0, "TV", 2},    {231, -1, 0, 3, "CR", 2},     {232, 2, 0, 0, "SG", -1},
    {232, 2, 6, 0, "VS", -1},    {89, -1, 0, 0, "VI", -1},
};
constexpr uint8_t kReductionRead = 223;

std::string Token(const Bytes& rq) {
    if (rq.size() < 2) return "?";
    if (rq[1] == kReductionRead && rq.size() >= 3) {
        // The sub-controller boards listen at the controller's address + 64 and - 64.
        const int board = rq[0] == 1 ? 0 : rq[0] == 65 ? 1 : 2;
        return "RC" + std::to_string(board * 5 + rq[2]);
    }
    for (const TokenRow& t : kTokens) {
        if (rq[1] != t.Command || (t.Length != 0 && rq.size() != t.Length)) continue;
        if (t.SubAt >= 0 && (rq.size() <= size_t(t.SubAt) || rq[size_t(t.SubAt)] != t.Sub)) continue;
        std::string name = t.Name;
        if (t.IndexAt >= 0 && rq.size() > size_t(t.IndexAt)) name += std::to_string(rq[size_t(t.IndexAt)]);
        return name;
    }
    return "C" + std::to_string(rq[1]);
}

// One synchronisation and the pass (with whatever was handed over) that followed it.
struct Round {
    std::string Sync, Pass;
};

void Append(std::string& line, const std::string& token) { line += (line.empty() ? "" : " ") + token; }

// Rounds that are complete, i.e. followed by the next synchronisation.
std::vector<Round> Rounds(const std::vector<std::string>& tokens) {
    std::vector<Round> rounds;
    Round current;
    bool inPass = false, started = false;
    for (const std::string& t : tokens) {
        if (t == "ID" && inPass) {
            rounds.push_back(current);
            current = {};
            inPass = false;
        }
        started = started || t == "ID";
        if (!started) continue;
        inPass = inPass || t == "T";
        Append(inPass ? current.Pass : current.Sync, t);
    }
    return rounds;
}

std::string Sequence(const char* prefix, int from, int to) {
    std::string line;
    for (int i = from; i <= to; ++i) Append(line, prefix + std::to_string(i));
    return line;
}

const std::string kOwnReductions = Sequence("RC", 0, 4);
const std::string kFlowmeterData = Sequence("FD", 0, 4);
const std::string kFirstSync = "ID MD5 SUB TRK FT CUT NB TS " + kOwnReductions + " " + kFlowmeterData;

class PollE2e : public ::testing::Test {
protected:
    void SetUp() override {
        WorkerRunning = false;
        CurrentWorker = nullptr;
        LastStatusShown = 0;
        ComPort.Error = 0;
        line = &UseRecordingLine();
    }
    void TearDown() override {
        StopPoll();
        ComPort.Close();
        ComPort.SetLine(nullptr);
    }

    void StartSim(const std::vector<std::string>& options, int ownChannels = -1) {
        SimConfig config;
        std::string error;
        ASSERT_TRUE(ParseSimArguments(options, config, error)) << error;
        config.Controller.Pouring.Customers = false;
        if (ownChannels >= 0) config.Controller.Status.TrkCfg[0] = uint8_t(ownChannels);
        sim = std::make_unique<SimHarness>(config, [this] { return HostClock()() + simAheadMs.load(); });
        ASSERT_TRUE(sim->Started()) << sim->Error();
    }
    void StartPoll() {
        views.PortPanel = sim->PortName();
        ASSERT_TRUE(StartOperation(views.Bundle(ui), views.PortPanel, 9600, PollCycle));
    }
    void StopPoll() {
        if (!WorkerRunning) return;
        CurrentWorker->Terminate();
        EXPECT_TRUE(ui.PumpUntil([] { return !WorkerRunning.load(); }));
    }

    std::vector<std::string> Tokens() const {
        std::vector<std::string> tokens;
        for (const auto& r : line->Requests()) tokens.push_back(Token(r.Content));
        return tokens;
    }
    int Count(const std::string& token) const {
        const auto tokens = Tokens();
        return int(std::count(tokens.begin(), tokens.end(), token));
    }
    // Polls until `count` rounds are complete and returns them.
    std::vector<Round> PollRounds(size_t count) {
        std::vector<Round> rounds;
        EXPECT_TRUE(ui.PumpUntil([&] { return (rounds = Rounds(Tokens())).size() >= count; }));
        return rounds;
    }
    int Calls(const std::string& call) const {
        return int(std::count(views.Calls.begin(), views.Calls.end(), call));
    }

    RecordingSerialLine* line = nullptr;
    std::atomic<int64_t> simAheadMs{0};
    std::unique_ptr<SimHarness> sim;
    TRecordingViews views;
    TPumpedDispatcher ui;
};

TEST_F(PollE2e, IndexWalkOfFiveChannelsWithoutSubControllers) {
    StartSim({});
    StartPoll();
    const auto rounds = PollRounds(9);
    StopPoll();
    const char* passes[] = {
        "T CH0 PR0 FS0 TB0 TB4 LF0 TV0 SG", "T CH1 PR1 FS1 TB1 TB5 LF1 TV1 VI", "T CH2 PR2 FS2 TB2 TB4 LF2 TV2 VS",
        "T CH3 PR3 FS3 TB3 TB5 LF3 TV3",    "T CH4 PR4 FS4 TB0 TB4 LF4 TV4 SG", "T CH0 PR0 FS0 TB1 TB5 LF0 TV0 VI",
        "T CH1 PR1 FS1 TB2 TB4 LF1 TV1 VS", "T CH2 PR2 FS2 TB3 TB5 LF2 TV2",    "T CH3 PR3 FS3 TB0 TB4 LF3 TV3 SG",
    };
    // Settings are read once; identity, sub-controller page, reductions and flowmeters every pass.
    EXPECT_EQ(rounds[0].Sync, kFirstSync);
    for (size_t n = 0; n < std::size(passes); ++n) {
        if (n > 0) {
            EXPECT_EQ(rounds[n].Sync, "ID SUB " + kOwnReductions + " " + kFlowmeterData) << n;
        }
        EXPECT_EQ(rounds[n].Pass, passes[n]) << "pass " << n;
    }
    // No sub-controller: both of their reduction rows are dashed on every pass.
    EXPECT_GE(Calls("SetValveStatus 2 4 ---"), 9);
    EXPECT_GE(Calls("SetValveStatus 3 4 ---"), 9);
}

TEST_F(PollE2e, ThreeChannelControllerWithACryptoFlowmeter) {
    StartSim({"--channels", "3", "--crypto", "3"});
    StartPoll();
    const auto rounds = PollRounds(8);
    StopPoll();
    // Channels wrap at 3; temperatures only while the last-fill channel is one of them; the
    // crypto diagnostics only for the crypto flowmeter.
    const char* passes[] = {
        "T CH0 PR0 FS0 TB0 TB4 LF0 TV0 SG",     "T CH1 PR1 FS1 TB1 TB5 LF1 TV1 VI",
        "T CH2 PR2 FS2 TB2 TB4 LF2 TV2 CR2 VS", "T CH0 PR0 FS3 TB3 TB5 LF3",
        "T CH1 PR1 FS4 TB0 TB4 LF4 SG",         "T CH2 PR2 FS0 TB1 TB5 LF0 TV0 VI",
        "T CH0 PR0 FS1 TB2 TB4 LF1 TV1 VS",     "T CH1 PR1 FS2 TB3 TB5 LF2 TV2 CR2",
    };
    for (size_t n = 0; n < std::size(passes); ++n) EXPECT_EQ(rounds[n].Pass, passes[n]) << "pass " << n;
}

TEST_F(PollE2e, NoChannelsReportedSkipsTheChannelReaders) {
    StartSim({}, 0);
    StartPoll();
    const auto rounds = PollRounds(2);
    StopPoll();
    EXPECT_EQ(rounds[0].Pass, "T FS0 TB0 TB4 LF0 SG");
    EXPECT_EQ(rounds[1].Pass, "T FS1 TB1 TB5 LF1 VI");
}

struct SubControllerCase {
    const char* Name;
    std::vector<std::string> Options;
    std::string Reductions;  // read on every pass
    bool Row2Dashed, Row3Dashed;
    int Flowmeters;          // the flowmeter state walk wraps here
};

void PrintTo(const SubControllerCase& c, std::ostream* os) { *os << c.Name; }

class PollSubControllers : public PollE2e, public ::testing::WithParamInterface<SubControllerCase> {};

TEST_P(PollSubControllers, ReductionsDashesAndFlowmeterWalk) {
    const SubControllerCase& c = GetParam();
    StartSim(c.Options);
    StartPoll();
    const size_t count = size_t(c.Flowmeters) + 1;
    const auto rounds = PollRounds(count);
    StopPoll();
    for (size_t n = 1; n < count; ++n) {
        EXPECT_EQ(rounds[n].Sync, "ID SUB " + c.Reductions + " " + kFlowmeterData) << n;
        EXPECT_NE(rounds[n].Pass.find(" FS" + std::to_string(n % size_t(c.Flowmeters)) + " "), std::string::npos)
            << rounds[n].Pass;
    }
    EXPECT_EQ(Calls("SetValveStatus 2 0 ---") >= int(count), c.Row2Dashed);
    EXPECT_EQ(Calls("SetValveStatus 3 0 ---") >= int(count), c.Row3Dashed);
    if (!c.Row2Dashed) {
        EXPECT_EQ(views.Valve(2, 0), "150");  // the first board's first constant
    }
}

INSTANTIATE_TEST_SUITE_P(
    Boards, PollSubControllers,
    ::testing::Values(
        SubControllerCase{"FirstOffLine", {"--subtrk", "2", "--subtrk1-state", "3"}, kOwnReductions, true, true, 15},
        SubControllerCase{"SecondOffLine", {"--subtrk", "2", "--subtrk2-state", "3"}, Sequence("RC", 0, 9), false,
                          true, 15},
        SubControllerCase{"OneBoard", {"--subtrk", "1"}, Sequence("RC", 0, 9), false, true, 10},
        SubControllerCase{"TwoBoards", {"--subtrk", "2"}, Sequence("RC", 0, 14), false, false, 15}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(PollE2e, FlowmeterTypeWriteWaitingSkipsTheFlowmeterReads) {
    StartSim({});
    std::atomic<int> pageReads{0};
    // Handed over while the third synchronisation reads the sub-controller page.
    line->OnRequest = [&](const Bytes& rq) {
        if (Token(rq) != "SUB" || ++pageReads != 3) return;
        CurrentWorker->SelectedChannel = 2;
        CurrentWorker->FlowmeterTypeToWrite[2] = 3;
        CurrentWorker->HandOver(WriteFlowmeterType);
    };
    StartPoll();
    const auto rounds = PollRounds(4);
    StopPoll();
    EXPECT_EQ(rounds[2].Sync, "ID SUB " + kOwnReductions);
    EXPECT_EQ(rounds[2].Pass, "T CH2 PR2 FS2 TB2 TB4 LF2 TV2 VS C230");
    EXPECT_EQ(rounds[3].Sync, "ID SUB " + kOwnReductions + " " + kFlowmeterData);
    EXPECT_EQ(Count("C230"), 1);
}

TEST_F(PollE2e, WriteHandedOverDuringAPassRunsBeforeTheNextSync) {
    StartSim({});
    std::atomic<int> clockReads{0};
    line->OnRequest = [&](const Bytes& rq) {
        if (Token(rq) != "T" || ++clockReads != 2) return;
        CurrentWorker->TabloCutOff = 500;
        CurrentWorker->HandOver(WriteTabloCutOff);
    };
    StartPoll();
    const auto rounds = PollRounds(3);
    StopPoll();
    EXPECT_EQ(rounds[1].Pass, "T CH1 PR1 FS1 TB1 TB5 LF1 TV1 VI C218");
    EXPECT_EQ(rounds[2].Pass, "T CH2 PR2 FS2 TB2 TB4 LF2 TV2 VS");
    EXPECT_EQ(Count("C218"), 1);
    EXPECT_EQ(sim->MainState().TabloCutOff, 500);
    EXPECT_NE(std::find(views.ErrorTexts.begin(), views.ErrorTexts.end(), "Запись отсечки табло...OK"),
              views.ErrorTexts.end());
}

// The start-up synchronisation of every pass reads the constants again before a handed-over
// write runs; the value the engineer typed must still be the one sent.
TEST_F(PollE2e, StagedReductionConstantSurvivesTheNextSynchronisation) {
    StartSim({});
    std::atomic<int> clockReads{0};
    line->OnRequest = [&](const Bytes& rq) {
        if (Token(rq) != "T" || ++clockReads != 2) return;
        CurrentWorker->HandOver(WriteReductionConst, [](TComThread& w) {
            w.SelectedChannel = 2;
            w.ReductionConstToWrite[2] = 999;
        });
    };
    StartPoll();
    PollRounds(3);
    StopPoll();
    EXPECT_EQ(sim->MainState().ReductionConst[2], 999);
    EXPECT_NE(std::find(views.ErrorTexts.begin(), views.ErrorTexts.end(),
                        "Запись константы снижения расхода...OK"),
              views.ErrorTexts.end());
}

// The stop ends the cycle after the pass's last reader; an operation handed over in that pass
// is not lost with it: it runs once, before the port closes.
TEST_F(PollE2e, StopDuringAPassEndsAfterItsLastReaderAndTheHandOverStillRuns) {
    StartSim({});
    std::atomic<int> clockReads{0};
    line->OnRequest = [&](const Bytes& rq) {
        if (Token(rq) != "T" || ++clockReads != 2) return;
        CurrentWorker->HandOver(WriteTabloCutOff);
        CurrentWorker->Terminate();
    };
    StartPoll();
    ASSERT_TRUE(ui.PumpUntil([] { return !WorkerRunning.load(); }));
    const auto tokens = Tokens();
    std::string last;
    for (auto t = std::find(tokens.rbegin(), tokens.rend(), "T").base() - 1; t != tokens.end(); ++t) Append(last, *t);
    EXPECT_EQ(last, "T CH1 PR1 FS1 TB1 TB5 LF1 TV1 VI C218");
    EXPECT_EQ(Count("C218"), 1);
}

TEST_F(PollE2e, SilentControllerIsAskedForItsIdentityAfterPauses) {
    StartSim({});
    views.Window.DevAddr = 9;  // nobody answers there
    StartPoll();
    ASSERT_TRUE(ui.PumpUntil([&] { return line->Requests().size() >= 3; }));
    StopPoll();
    const auto requests = line->Requests();
    const auto timeouts = line->ReadTimeouts();
    for (size_t i = 0; i < requests.size(); ++i) {
        EXPECT_EQ(Token(requests[i].Content), "ID") << i;
        if (i == 0) continue;
        // The last read that gave up before this request.
        auto gaveUp = timeouts.begin();
        for (auto t = timeouts.begin(); t != timeouts.end() && *t < requests[i].At; ++t) gaveUp = t;
        ASSERT_LT(*gaveUp, requests[i].At);
        EXPECT_GE(requests[i].At - *gaveUp, std::chrono::milliseconds(150)) << i;
    }
    EXPECT_EQ(views.LastStatus(), "Чтение информации об устройстве...Нет ответа");
}

TEST_F(PollE2e, PortWriteFailureEndsTheCycleAfterThePass) {
    StartSim({});
    std::atomic<int> clockReads{0};
    line->OnRequest = [&](const Bytes& rq) {
        if (Token(rq) == "T" && ++clockReads == 3) line->FailWrites(true);
    };
    StartPoll();
    // Nobody asks it to stop: the failed writes end it.
    ASSERT_TRUE(ui.PumpUntil([] { return !WorkerRunning.load(); }));
    std::string failed;
    for (const auto& r : line->Requests())
        if (r.Failed) Append(failed, Token(r.Content));
    EXPECT_EQ(failed, "T CH2 PR2 FS2 TB2 TB4 LF2 TV2 VS");
    EXPECT_EQ(Tokens().back(), "VS");
    EXPECT_TRUE(views.PollButtonReleased);
}

TEST_F(PollE2e, ViewsFillAndFollowAFill) {
    StartSim({});
    StartPoll();
    PollRounds(1);
    ASSERT_TRUE(sim->WithBus([&](SimBus& bus) { return StartFill(bus.Main(), 1, 10000, 0); }));
    const auto channelReads = [&] { return Count("CH1"); };
    const int before = channelReads();
    ASSERT_TRUE(ui.PumpUntil([&] { return channelReads() >= before + 2; }));
    const std::string poured = views.Ch(12, 1);
    simAheadMs += 2000;
    ASSERT_TRUE(ui.PumpUntil([&] { return channelReads() >= before + 4; }));
    StopPoll();
    EXPECT_NE(views.Ch(12, 1), poured);

    EXPECT_EQ(views.Trk(0), "5-канальная ТРК");
    EXPECT_NE(views.Trk(2), "");  // firmware checksum
    for (int channel = 0; channel < 5; ++channel) {
        EXPECT_NE(views.Ch(12, channel), "") << channel;
        EXPECT_NE(views.Valve(1, channel), "") << channel;  // reduction constants
        EXPECT_NE(views.Valve(0, channel), "") << channel;  // valve currents
    }
    EXPECT_NE(views.TabloCell(0, 0), "");
    EXPECT_NE(views.FlowCell(0, 0), "");
}

}  // namespace
