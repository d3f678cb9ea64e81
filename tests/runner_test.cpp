// The worker's life: start rule, hand-over to a looping job, port failures, the
// status throttle and the busy-port probe. Display steps run on the test thread
// through a pumped dispatcher, as they would on the UI thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "engine/ComThreadUnit.h"
#include "commands/LinkSetup.h"
#include "commands/TimeCommands.h"
#include "link/ComPortUnit.h"
#include "link/ResultCodes.h"
#include "tests/support/RecordingSerialLine.h"
#include "tests/support/RecordingViews.h"
#include "tests/support/SimHarness.h"

namespace {

// A pseudo-terminal whose slave the worker can open like a serial port.
class Pty {
public:
    Pty() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(master_);
        unlockpt(master_);
        path_ = ptsname(master_);
    }
    ~Pty() { close(master_); }
    const std::string& Path() const { return path_; }

private:
    int master_ = -1;
    std::string path_;
};

// What the test operations saw; reset by the fixture.
std::atomic<int> gPasses{0};
std::atomic<int> gHandedRuns{0};
std::atomic<int> gHandedSawChannel{-1};
std::atomic<int> gPassesBeforeHanded{-1};
std::atomic<bool> gSingleRan{false};

// A looping job shaped like the poll cycle: one pass, then what was handed over by then.
void Loop(TComThread& w) {
    while (!w.ShouldStop()) {
        w.Synchronize([] { ++gPasses; });
        w.RunHandedOver();
    }
}

void Handed(TComThread& w) {
    gPassesBeforeHanded = gPasses.load();
    gHandedSawChannel = w.SelectedChannel;
    ++gHandedRuns;
}

void Other(TComThread&) { gSingleRan = true; }

class RunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        WorkerRunning = false;
        CurrentWorker = nullptr;
        LastStatusShown = 0;
        StatusClock = SteadyClockMs;
        gPasses = 0;
        gHandedRuns = 0;
        gHandedSawChannel = -1;
        gPassesBeforeHanded = -1;
        gSingleRan = false;
        ComPort.Error = 0;
    }

public:
    bool Start(Op op, const std::function<void(TComThread&)>& stage = {}) {
        return StartOperation(views.Bundle(ui), views.PortPanel, 9600, op, stage);
    }
    bool WaitUntilFinished() {
        return ui.PumpUntil([] { return !WorkerRunning.load(); });
    }

    TRecordingViews views;
    TPumpedDispatcher ui;
};

TEST_F(RunnerTest, EmptySlotEndsAtOnceWithoutTouchingPortOrButtons) {
    views.PortPanel = "ornix-no-such-port";
    TComThread* worker = CreateComThread(views.Bundle(ui), views.PortPanel, 9600);
    EXPECT_TRUE(WorkerRunning);
    EXPECT_EQ(worker, CurrentWorker);
    worker->Start();
    ASSERT_TRUE(WaitUntilFinished());
    // An open attempt would have shown "Не могу открыть ..."; the buttons stay as they were.
    EXPECT_TRUE(views.StatusTexts.empty());
    EXPECT_FALSE(views.PollButtonReleased);
    EXPECT_FALSE(views.Called("SetTimeButtonsEnabled"));
}

TEST_F(RunnerTest, PortThatCannotBeOpenedIsShownAndButtonsComeBack) {
    views.PortPanel = "ornix-no-such-port";
    EXPECT_TRUE(Start(Other));
    ASSERT_TRUE(WaitUntilFinished());
    EXPECT_FALSE(gSingleRan);
    EXPECT_EQ("Не могу открыть ornix-no-such-port", views.LastStatus());
    EXPECT_TRUE(views.PollButtonReleased);
    EXPECT_EQ("Тест продаж", views.SellTestCaption);
    EXPECT_TRUE(views.SellTestEnabled);
    EXPECT_TRUE(views.TestTabloEnabled);
    EXPECT_EQ("ReadMem", views.ReadMemCaption);
    EXPECT_EQ("Начать", views.FindNetAddrCaption);
    EXPECT_TRUE(views.TimeButtonsEnabled);
}

TEST_F(RunnerTest, BusAddressIsTakenFromTheWindowWhenTheJobStarts) {
    Pty pty;
    views.PortPanel = pty.Path();
    views.Window.DevAddr = 42;
    std::atomic<int> seen{-1};
    static std::atomic<int>* out;
    out = &seen;
    Start([](TComThread& w) { *out = w.DeviceAddress; });
    ASSERT_TRUE(WaitUntilFinished());
    EXPECT_EQ(42, seen);
    // The time buttons are off while the job runs and on again after it.
    const auto off = std::find(views.Calls.begin(), views.Calls.end(), "SetTimeButtonsEnabled 0");
    const auto on = std::find(views.Calls.begin(), views.Calls.end(), "SetTimeButtonsEnabled 1");
    EXPECT_LT(off, on);
}

TEST_F(RunnerTest, OperationHandedToLoopingJobRunsOnceBetweenPasses) {
    Pty pty;
    views.PortPanel = pty.Path();
    EXPECT_TRUE(Start(Loop));
    bool handed = false;
    ASSERT_TRUE(ui.PumpUntil([&] {
        if (!handed && gPasses >= 3) {
            // The UI thread stages the parameter while the worker runs, then fills the slot.
            EXPECT_FALSE(Start(Handed, [](TComThread& w) { w.SelectedChannel = 7; }));
            handed = true;
        }
        return gHandedRuns > 0 && gPasses >= gPassesBeforeHanded + 3;
    }));
    CurrentWorker->Terminate();
    ASSERT_TRUE(WaitUntilFinished());
    EXPECT_EQ(1, gHandedRuns);
    EXPECT_EQ(7, gHandedSawChannel);
    EXPECT_TRUE(views.PollButtonReleased);
}

TEST_F(RunnerTest, SingleOperationTalksToTheControllerAndReleasesThePort) {
    SimConfig config;
    config.Controller.Address = 5;
    config.Controller.BitRate = 19200;
    SimHarness sim(config);
    ASSERT_TRUE(sim.Started()) << sim.Error();
    views.PortPanel = sim.PortName();
    views.Window.DevAddr = 5;
    EXPECT_TRUE(StartOperation(views.Bundle(ui), views.PortPanel, 19200, ReadDeviceInfo));
    ASSERT_TRUE(WaitUntilFinished());
    EXPECT_EQ("Чтение информации об устройстве...OK", views.LastStatus());
    EXPECT_EQ("5-канальная ТРК", views.Trk(0));
    // The port is closed and unlocked once the job has ended.
    EXPECT_TRUE(PortCanBeOpened(sim.PortName()));
}

TEST_F(RunnerTest, OperationHandedToSingleOperationRunsBeforeThePortCloses) {
    Pty pty;
    views.PortPanel = pty.Path();
    static RunnerTest* self;
    self = this;
    Start([](TComThread& w) {
        // While this single operation runs, the user starts another one.
        w.Synchronize([] { EXPECT_FALSE(self->Start(Other)); });
    });
    ASSERT_TRUE(WaitUntilFinished());
    EXPECT_TRUE(gSingleRan);
    // The buttons came back once, after both.
    EXPECT_EQ(1, std::count(views.Calls.begin(), views.Calls.end(), "SetTimeButtonsEnabled 1"));
    // Nothing is left running: the next action creates a fresh worker.
    gSingleRan = false;
    EXPECT_TRUE(Start(Other));
    ASSERT_TRUE(WaitUntilFinished());
    EXPECT_TRUE(gSingleRan);
}

TEST_F(RunnerTest, EarlierWriteFailureDoesNotStopTheNextJob) {
    Pty pty;
    views.PortPanel = pty.Path();
    ComPort.Error = -6;  // the last job lost its port
    Start(Loop);
    ASSERT_TRUE(ui.PumpUntil([] { return gPasses >= 2; }));
    CurrentWorker->Terminate();
    ASSERT_TRUE(WaitUntilFinished());
}

TEST_F(RunnerTest, TerminateAndWaitStopsALoopingJob) {
    Pty pty;
    views.PortPanel = pty.Path();
    Start(Loop);
    ASSERT_TRUE(ui.PumpUntil([] { return gPasses > 0; }));
    TerminateWorkerAndWait([&] { ui.PumpUntil([] { return false; }, std::chrono::milliseconds(1)); });
    EXPECT_FALSE(WorkerRunning);
    EXPECT_TRUE(views.PollButtonReleased);
}

TEST_F(RunnerTest, FailedPortWriteStopsLoops) {
    TRecordingViews local;
    TComThread w(local.Bundle());
    EXPECT_FALSE(w.ShouldStop());
    ComPort.Error = -1;  // a silent controller does not stop the poll
    EXPECT_FALSE(w.ShouldStop());
    ComPort.Error = -6;
    EXPECT_TRUE(w.ShouldStop());
    ComPort.Error = 0;
    w.Terminate();
    EXPECT_TRUE(w.ShouldStop());
}

TEST(StatusThrottle, DropsOnlyEarlyAnnouncements) {
    struct Case {
        uint64_t now, last;
        bool sending, shown;
        uint64_t lastAfter;
    };
    const Case cases[] = {
        {1000, 0, true, true, 1000},     // first update of the run
        {1051, 1000, true, true, 1051},  // just over 50 ms
        {1050, 1000, true, false, 1000}, // exactly 50 ms: an announcement is dropped
        {1010, 1000, true, false, 1000},
        {1010, 1000, false, true, 1000}, // a result is shown but does not restart the window
    };
    for (const Case& c : cases) {
        uint64_t last = c.last;
        EXPECT_EQ(c.shown, StatusUpdateDue(c.now, last, c.sending)) << c.now << " after " << c.last;
        EXPECT_EQ(c.lastAfter, last) << c.now;
    }
}

std::atomic<uint64_t> gFakeNow{0};
uint64_t FakeClock() { return gFakeNow; }

// Runs display steps at once and counts them.
class CountingDispatcher final : public IUiDispatcher {
public:
    void Run(const std::function<void()>& step) override {
        ++handedOver;
        step();
    }
    int handedOver = 0;
};

TEST_F(RunnerTest, SecondAnnouncementTenMillisecondsLaterIsDroppedButItsResultShown) {
    StatusClock = FakeClock;
    CountingDispatcher dispatcher;
    TComThread w(views.Bundle(dispatcher));
    const auto exchange = [&](const std::string& text, uint64_t at) {
        gFakeNow = at;
        w.PollStatusText = text + "...";
        ComPort.Sending = true;
        w.ShowStatus();
        gFakeNow = at + 3;
        ComPort.Sending = false;
        w.PollStatusText += "OK";
        w.ShowStatus();
    };
    exchange("Чтение времени", 100000);
    exchange("Чтение цены", 100010);
    const std::vector<std::string> shown = {"Чтение времени...", "Чтение времени...OK", "Чтение цены...OK"};
    EXPECT_EQ(shown, views.StatusTexts);
    EXPECT_EQ(views.StatusTexts.size(), views.ErrorTexts.size());  // both panels every time
    EXPECT_EQ(3, dispatcher.handedOver);  // the dropped announcement never reached the UI thread
}

TEST_F(RunnerTest, ProbePortsMarksOnlyBusyPortsAndReopensTheMenu) {
    Pty free1, free2, busy;
    const int holder = open(busy.Path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(0, flock(holder, LOCK_EX | LOCK_NB));  // another program uses it
    views.PortMenuNamesList = {free1.Path(), busy.Path(), free2.Path()};
    views.PortMenu = {"A", "B", "C"};
    Start(ProbePorts);
    ASSERT_TRUE(WaitUntilFinished());
    EXPECT_EQ((std::vector<std::string>{"A", "B (Занят)", "C"}), views.PortMenu);
    EXPECT_TRUE(views.Called("PopupPortMenu 0 0"));
    // The probe neither opens ComPort nor gives buttons back.
    EXPECT_FALSE(views.PollButtonReleased);
    EXPECT_TRUE(views.StatusTexts.empty());
    close(holder);
}

// The probe only tries the exclusive open: a port another program holds keeps its line
// settings and the exclusive flag that program set, and counts as busy when it is taken.
TEST(PortProbe, LeavesAPortHeldByAnotherProgramAsItWas) {
    enum class Hold { Plain, Exclusive, Locked };
    const struct {
        Hold hold;
        bool free;
    } rows[] = {{Hold::Plain, true}, {Hold::Exclusive, false}, {Hold::Locked, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.hold));
        Pty pty;
        const int holder = open(pty.Path().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(holder, 0);
        termios before{};
        ASSERT_EQ(0, tcgetattr(holder, &before));
        before.c_lflag |= ICANON | ECHO;  // a terminal program's line editing
        ASSERT_EQ(0, tcsetattr(holder, TCSANOW, &before));
        ASSERT_EQ(0, tcgetattr(holder, &before));
        if (row.hold == Hold::Exclusive) {
            ASSERT_EQ(0, ioctl(holder, TIOCEXCL));
        }
        if (row.hold == Hold::Locked) {
            ASSERT_EQ(0, flock(holder, LOCK_EX | LOCK_NB));
        }

        EXPECT_EQ(row.free, PortCanBeOpened(pty.Path()));

        termios after{};
        ASSERT_EQ(0, tcgetattr(holder, &after));
        EXPECT_EQ(before.c_iflag, after.c_iflag);
        EXPECT_EQ(before.c_oflag, after.c_oflag);
        EXPECT_EQ(before.c_cflag, after.c_cflag);
        EXPECT_EQ(before.c_lflag, after.c_lflag);
        EXPECT_EQ(0, memcmp(before.c_cc, after.c_cc, sizeof before.c_cc));
        int exclusive = -1;
        ASSERT_EQ(0, ioctl(holder, TIOCGEXCL, &exclusive));
        EXPECT_EQ(row.hold == Hold::Exclusive, exclusive != 0);
        close(holder);
    }
}

TEST_F(RunnerTest, ProbePortsWithAllPortsFreeChangesNothing) {
    Pty free1, free2;
    views.PortMenuNamesList = {free1.Path(), free2.Path()};
    views.PortMenu = {"A", "B"};
    Start(ProbePorts);
    ASSERT_TRUE(WaitUntilFinished());
    EXPECT_EQ((std::vector<std::string>{"A", "B"}), views.PortMenu);
    EXPECT_FALSE(views.PortMenuOpened);
}

}  // namespace

namespace {

// What the staging test's operation saw: each run records the channel and the name it read.
std::mutex gSeenMutex;
std::vector<std::pair<int, std::string>> gSeen;

void ReadStagedName(TComThread& w) {
    std::lock_guard lock(gSeenMutex);
    gSeen.emplace_back(w.SelectedChannel, w.FuelNameToWrite[size_t(w.SelectedChannel)]);
}

std::string NameFor(int i) { return "Топливо номер " + std::to_string(i) + std::string(40, '*'); }

}  // namespace

// The UI thread stages while the worker runs the same operation: the worker must never read
// a value half written, and every run sees the values staged together with it. Under
// ThreadSanitizer this is the race check of the hand-over.
TEST_F(RunnerTest, StagingWhileTheWorkerRunsTheSameOperationIsNeverTorn) {
    Pty pty;
    views.PortPanel = pty.Path();
    gSeen.clear();
    EXPECT_TRUE(Start(Loop));
    ASSERT_TRUE(ui.PumpUntil([] { return gPasses > 0; }));
    constexpr int kStagings = 300;
    for (int i = 0; i < kStagings; ++i) {
        const int channel = i % kChannelCount;
        const std::string name = NameFor(i);
        EXPECT_FALSE(Start(ReadStagedName, [channel, name](TComThread& w) {
            w.SelectedChannel = channel;
            w.FuelNameToWrite[size_t(channel)] = name;
        }));
        if (i % 10 == 0) ui.PumpUntil([] { return false; }, std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(ui.PumpUntil([] {
        std::lock_guard lock(gSeenMutex);
        return !gSeen.empty() && gSeen.back().second == NameFor(kStagings - 1);
    }));
    CurrentWorker->Terminate();
    ASSERT_TRUE(WaitUntilFinished());
    std::lock_guard lock(gSeenMutex);
    for (const auto& [channel, name] : gSeen) {
        const int i = std::stoi(name.substr(std::string("Топливо номер ").size()));
        EXPECT_EQ(channel, i % kChannelCount) << name;
        EXPECT_EQ(name, NameFor(i));
    }
}

// A failed send ends the exchange: its text must reach panel 3 although the "..." before it
// was shown a moment earlier, and although the clock stands still.
TEST_F(RunnerTest, FailedWriteIsTheLastStatusShownUnderAStoppedClock) {
    Pty pty;
    views.PortPanel = pty.Path();
    StatusClock = FakeClock;
    gFakeNow = 500000;
    RecordingSerialLine& line = UseRecordingLine();
    line.FailWrites(true);
    struct Row {
        const char* name;
        Op op;
        int32_t rate;
        std::function<void(TComThread&)> stage;
    };
    const Row rows[] = {
        {"framed request", ReadTime, 9600, {}},
        {"protocol switch at 4800", WriteProtocolType, 4800, [](TComThread& w) { w.ProtocolType = 1; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        views.StatusTexts.clear();
        EXPECT_TRUE(StartOperation(views.Bundle(ui), views.PortPanel, row.rate, row.op, row.stage));
        ASSERT_TRUE(WaitUntilFinished());
        ASSERT_FALSE(views.StatusTexts.empty());
        EXPECT_TRUE(views.LastStatus().ends_with(kWriteFailedText)) << views.LastStatus();
    }
    ComPort.SetLine(nullptr);
    ComPort.Error = 0;
}

// An earlier job left a send marked and the last update was shown just now: the failed open
// is a result, not an announcement, and must not be dropped by the throttle.
TEST_F(RunnerTest, FailedOpenIsShownAlthoughAnEarlierSendWasLeftMarked) {
    StatusClock = FakeClock;
    gFakeNow = 700000;
    LastStatusShown = 700000 - 10;
    ComPort.Sending = true;
    views.PortPanel = "ornix-no-such-port";
    EXPECT_TRUE(Start(Other));
    ASSERT_TRUE(WaitUntilFinished());
    EXPECT_EQ("Не могу открыть ornix-no-such-port", views.LastStatus());
}

namespace {

// What the queue test's operations saw, in the order they ran: the number staged with each.
std::mutex gRunMutex;
std::vector<std::pair<uint32_t, int>> gRuns;
std::atomic<bool> gGateEntered{false};
std::atomic<bool> gGateOpen{false};

void Record(TComThread& w) {
    std::lock_guard lock(gRunMutex);
    gRuns.emplace_back(w.DoseAmount, w.SelectedChannel);
}

// A single operation that holds the worker until the other thread has begun to hand over.
void Gate(TComThread&) {
    gGateEntered = true;
    while (!gGateOpen) std::this_thread::yield();
}

size_t RunCount() {
    std::lock_guard lock(gRunMutex);
    return gRuns.size();
}

// Hands over `count` operations, each with its own number staged, from a thread of its own;
// opens the gate after the first quarter, so that the worker takes while more come.
std::thread HandOverFromAnotherThread(TComThread* worker, uint32_t count) {
    return std::thread([worker, count] {
        for (uint32_t i = 0; i < count; ++i) {
            worker->HandOver(Record, [i](TComThread& w) {
                w.DoseAmount = i;
                w.SelectedChannel = int(i % kChannelCount);
            });
            if (i == count / 4) gGateOpen = true;
            if (i % 16 == 0) std::this_thread::yield();
        }
        gGateOpen = true;
    });
}

}  // namespace

// Every operation handed over while a job runs runs once, in order, with the values staged
// with it, whether the job loops or is a single operation. Under ThreadSanitizer this is the
// race check of the queue.
TEST_F(RunnerTest, EveryOperationHandedOverFromAnotherThreadRunsOnceInOrder) {
    constexpr uint32_t kCount = 400;
    for (const bool looping : {true, false}) {
        SCOPED_TRACE(looping ? "looping job" : "single operation");
        Pty pty;
        views.PortPanel = pty.Path();
        {
            std::lock_guard lock(gRunMutex);
            gRuns.clear();
        }
        gGateEntered = false;
        gGateOpen = false;
        EXPECT_TRUE(Start(looping ? Loop : Gate));
        if (looping) {
            ASSERT_TRUE(ui.PumpUntil([] { return gPasses > 0; }));
            std::thread other = HandOverFromAnotherThread(CurrentWorker, kCount);
            // The passes go on (the UI thread runs their display steps) while the queue fills.
            EXPECT_TRUE(ui.PumpUntil([] { return RunCount() == kCount; }));
            other.join();
            CurrentWorker->Terminate();
        } else {
            ASSERT_TRUE(ui.PumpUntil([] { return gGateEntered.load(); }));
            std::thread other = HandOverFromAnotherThread(CurrentWorker, kCount);
            // The worker needs the UI thread only to end, so it cannot end before all came.
            other.join();
        }
        ASSERT_TRUE(WaitUntilFinished());
        std::lock_guard lock(gRunMutex);
        ASSERT_EQ(kCount, gRuns.size());
        for (uint32_t i = 0; i < kCount; ++i) {
            EXPECT_EQ(i, gRuns[i].first);
            EXPECT_EQ(int(i % kChannelCount), gRuns[i].second) << i;
        }
    }
}
