// The poll cycle, started and stopped with the main window's "Опрос" button, against the
// ornix-sim program under each fault of a service bench: a noisy or silent line, a second
// device at the controller's address, the adapter unplugged, its path gone and back, a port
// held by another program or closed to this user, and folders the tool may not write.
// Each row: no crash, no hang, the button comes back, the fault is named in the status bar,
// every exchange the simulator heard is in the exchange log, the settings file stays whole.
// With ORNIX_FAULT_TABLE=<file> the program also writes what it saw as a table there
// (make faults).
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "engine/ComThreadUnit.h"
#include "link/Cp1251.h"
#include "link/ExchangeLog.h"
#include "tests/support/QtTestApplication.h"
#include "ui/main/AppWindows.h"
#include "ui/main/StatusPanelBar.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

[[maybe_unused]] const auto* const kAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtTestApplication("ui_fault_matrix_test"));

constexpr int kStatusPanel = 3;
constexpr int kMessagePanel = 4;
constexpr uid_t kNobody = 65534;

// The simulator as a program of its own, so that it can be killed like an unplugged adapter.
// It logs every request it hears (-v) into `errPath`.
class SimProgram {
public:
    SimProgram(const std::vector<std::string>& options, const std::string& linkPath, const std::string& errPath) {
        const std::string program = (fs::read_symlink("/proc/self/exe").parent_path() / "ornix-sim").string();
        std::vector<std::string> args = {program, "-v", "--link", linkPath};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        const bool spawned = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (!spawned) pid_ = -1;
        // The program prints its port name once it serves.
        std::string line;
        char c = 0;
        pollfd p{out[0], POLLIN, 0};
        while (spawned && poll(&p, 1, 10000) > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') line += c;
        ::close(out[0]);
        slave_ = line.empty() ? "" : "/dev/" + line;
    }
    ~SimProgram() { Stop(SIGTERM); }
    bool Started() const { return pid_ > 0 && !slave_.empty(); }
    const std::string& SlavePath() const { return slave_; }
    // SIGTERM: it removes its link and ends; SIGKILL: gone at once, the link left dangling.
    void Stop(int signal) {
        if (pid_ <= 0) return;
        ::kill(pid_, signal);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    std::string slave_;
};

// Effective user "nobody" while it lives, when the tests run as root: root opens any file
// mode and writes any folder, so refusals need an ordinary user.
class AsOrdinaryUser {
public:
    AsOrdinaryUser() : switched_(geteuid() == 0 && seteuid(kNobody) == 0) {}
    ~AsOrdinaryUser() {
        if (switched_) (void)!seteuid(0);
    }

private:
    bool switched_;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

int Occurrences(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

enum class Scene {
    Line,          // the simulator runs with the row's options for the whole poll
    Killed,        // killed mid-poll, as when the adapter is pulled out
    PathGoneAndBack,  // ends and removes its port path; later a new one appears there
    HeldByOther,   // another program holds the port exclusively
    NoPermission,  // the port's file mode shuts this user out
    ReadOnlyFolder,  // settings file and exchange log in a folder this user may not write
};

enum class Poll { GoesOn, StopsItself, NeverStarts };

struct FaultRow {
    const char* Name;  // test name
    const char* Fault;  // as the table shows it
    std::vector<std::string> SimOptions;
    Scene Where;
    Poll Expected;
    std::vector<std::string> Texts;  // each shown in the status bar at some time
    int Listeners = 1;  // devices that hear (and log) each request
};

const FaultRow kRows[] = {
    {"Silence", "silence (nobody at the address)", {"--address", "7"}, Scene::Line, Poll::GoesOn, {"Нет ответа"}},
    {"Drop", "--drop 40", {"--drop", "40"}, Scene::Line, Poll::GoesOn, {"Нет ответа"}},
    {"BadCrc", "--bad-crc 40", {"--bad-crc", "40"}, Scene::Line, Poll::GoesOn, {"Не сошлось CRC"}},
    {"Cut", "--cut 40", {"--cut", "40"}, Scene::Line, Poll::GoesOn, {"Нет конца пакета"}},
    {"Late", "--late 40", {"--late", "40"}, Scene::Line, Poll::GoesOn, {"Нет ответа"}},
    {"WrongEcho", "--wrong-echo 40", {"--wrong-echo", "40"}, Scene::Line, Poll::GoesOn,
     {"Неверный код команды в ответе"}},
    {"ResultOnIdentification", "--result 0:13", {"--result", "0:13"}, Scene::Line, Poll::GoesOn,
     {"Ошибка 13: Неизвестный запрос"}},
    {"ResultsOnReaders", "--result 8:18 --result 209:202",
     {"--result", "8:18", "--result", "209:202"}, Scene::Line, Poll::GoesOn,
     {"Ошибка 18: Неверные данные в запросе", "Ошибка 202: Нажата кнопка аварийного останова"}},
    {"TwoDevicesAtOneAddress", "two devices at one address (--twin)", {"--twin"}, Scene::Line, Poll::GoesOn,
     {}, 2},
    {"SimulatorKilled", "simulator killed mid-poll (adapter unplugged)", {}, Scene::Killed, Poll::StopsItself,
     {"Не могу записать данные в COM-порт"}},
    {"PortPathGoneAndBack", "port path vanishes, then comes back", {}, Scene::PathGoneAndBack, Poll::StopsItself,
     {"Не могу записать данные в COM-порт", "Не могу открыть "}},
    {"PortHeldByAnother", "port held by another program", {}, Scene::HeldByOther, Poll::NeverStarts,
     {"Не могу открыть "}},
    {"PortWithoutPermission", "port file mode shuts the user out", {}, Scene::NoPermission, Poll::NeverStarts,
     {"Не могу открыть "}},
    {"ReadOnlyFolder", "read-only folder for settings and exchange log", {}, Scene::ReadOnlyFolder,
     Poll::GoesOn, {"Не могу сохранить настройки в "}},
};

struct Outcome {
    std::string Fault, Poll, Status, Exchanges, Settings;
};
std::vector<Outcome>& Outcomes() {
    static std::vector<Outcome> outcomes;
    return outcomes;
}

// Writes the table of what every row saw, when asked to.
class TableWriter : public ::testing::Environment {
public:
    void TearDown() override {
        const char* path = std::getenv("ORNIX_FAULT_TABLE");
        if (!path || Outcomes().empty()) return;
        std::ostringstream t;
        t << "# Fault matrix\n\nWritten by `make faults` (tests/ui_fault_matrix_test.cpp): the poll started with "
             "\"Опрос\" against ornix-sim under each fault.\n\n"
          << "| fault | poll and buttons | status bar | exchanges (heard by the simulator / logged) | settings file |\n"
          << "|---|---|---|---|---|\n";
        for (const Outcome& o : Outcomes())
            t << "| " << o.Fault << " | " << o.Poll << " | " << o.Status << " | " << o.Exchanges << " | " << o.Settings
              << " |\n";
        std::ofstream(path) << t.str();
        std::fputs(t.str().c_str(), stdout);
    }
};
[[maybe_unused]] const auto* const kTableEnvironment = ::testing::AddGlobalTestEnvironment(new TableWriter);

class FaultMatrix : public ::testing::TestWithParam<FaultRow> {
protected:
    void SetUp() override {
        ASSERT_NE(QCoreApplication::instance(), nullptr);
        char pattern[] = "/tmp/ornix-faults-XXXXXX";
        dir_ = ::mkdtemp(pattern);
        chmod(dir_.c_str(), 0755);  // "nobody" must reach the port link inside
        files_ = dir_;
        if (GetParam().Where == Scene::ReadOnlyFolder) files_ = dir_ + "/readonly";
        fs::create_directories(files_);
        port_ = dir_ + "/port";
        ini_ = files_ + "/ornix-tester.ini";
        log_ = files_ + "/ornix-tester.log";
        std::ofstream(ini_) << "[Port]\r\nLast Port=" << port_ << "\r\nBaudRate=9600\r\nDevAddr=1\r\n";
        iniBefore_ = ReadFile(ini_);
        if (GetParam().Where == Scene::ReadOnlyFolder) {
            chmod(ini_.c_str(), 0444);
            chmod(files_.c_str(), 0555);
        }
        SetExchangeLogPath(log_);
        WorkerRunning = false;
    }
    void TearDown() override {
        windows_.reset();
        sim_.reset();
        SetExchangeLogPath("");
        chmod(files_.c_str(), 0755);
        fs::remove_all(dir_);
    }

    void StartSim(const std::vector<std::string>& options) {
        sim_ = std::make_unique<SimProgram>(options, port_, dir_ + "/sim.err");
        ASSERT_TRUE(sim_->Started());
    }
    TForm1& Open() {
        windows_ = std::make_unique<TAppWindows>(ini_);
        windows_->Form1.show();
        return windows_->Form1;
    }
    TForm1& Form() { return windows_->Form1; }

    // Runs the event loop until `done` holds; every status-bar text shown meanwhile is kept.
    // Each round lets one display step run, so no text the worker shows slips by unseen.
    bool RunUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            for (int panel : {kStatusPanel, kMessagePanel}) {
                const std::string text = Form().MainStatusBar->PanelText(panel).toStdString();
                if (!text.empty() && std::find(seen_.begin(), seen_.end(), text) == seen_.end()) seen_.push_back(text);
            }
            if (done()) return true;
            if (std::chrono::steady_clock::now() > end) return false;
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    bool Seen(const std::string& fragment) const {
        return std::any_of(seen_.begin(), seen_.end(), [&](const std::string& s) { return s.find(fragment) != s.npos; });
    }
    bool AllTextsSeen() const {
        return std::all_of(GetParam().Texts.begin(), GetParam().Texts.end(), [&](const std::string& t) { return Seen(t); });
    }
    int Logged(const char* entry) const { return Occurrences(ReadFile(log_), entry); }
    // Requests every simulator of the row heard (they share one error file).
    int Heard() const { return Occurrences(ReadFile(dir_ + "/sim.err"), " request "); }

    void PressPoll() { Form().PollButton->click(); }
    bool WorkerEnded() { return RunUntil([] { return !WorkerRunning.load(); }, 10000); }
    bool ButtonBack() { return !Form().PollButton->isChecked() && Form().PollButton->isEnabled(); }

    std::string dir_, files_, port_, ini_, log_, iniBefore_;
    std::unique_ptr<SimProgram> sim_;
    std::unique_ptr<TAppWindows> windows_;
    std::vector<std::string> seen_;
};

TEST_P(FaultMatrix, NoCrashNoHangFaultNamedEveryExchangeLogged) {
    const FaultRow& row = GetParam();
    StartSim(row.SimOptions);
    if (HasFatalFailure()) return;
    const std::string slave = sim_->SlavePath();
    std::string pollText;
    int holder = -1;
    if (row.Where == Scene::HeldByOther) {
        holder = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(holder, 0);
        ASSERT_EQ(ioctl(holder, TIOCEXCL), 0);
        ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    }
    if (row.Where == Scene::NoPermission) chmod(slave.c_str(), 0);
    if (row.Where == Scene::ReadOnlyFolder) chmod(slave.c_str(), 0666);
    std::unique_ptr<AsOrdinaryUser> user;
    if (row.Where == Scene::NoPermission || row.Where == Scene::ReadOnlyFolder) user = std::make_unique<AsOrdinaryUser>();

    TForm1& f = Open();
    PressPoll();
    const auto answered = [&](int n) { return [this, n] { return Logged("Answer :") >= n; }; };
    switch (row.Where) {
    case Scene::Line:
    case Scene::ReadOnlyFolder:
        if (row.Where == Scene::ReadOnlyFolder) {
            ASSERT_TRUE(RunUntil([&] { return Heard() >= 10; }));
            f.SetDevAddr(1);  // stores the setting: refused by the folder
        }
        // A good number of exchanges, and every awaited text shown on the way (a silent line
        // takes 0.7 s an attempt; the log cannot be written in the read-only folder).
        EXPECT_TRUE(RunUntil([&] {
            return AllTextsSeen() && (row.Where == Scene::ReadOnlyFolder ? Heard() : Logged("Request:")) >= 12;
        }));
        EXPECT_TRUE(WorkerRunning.load()) << "the poll stopped by itself";
        pollText = "goes on; stops when released, button up";
        PressPoll();
        break;
    case Scene::Killed:
        ASSERT_TRUE(RunUntil(answered(5)));
        sim_->Stop(SIGKILL);
        pollText = "stops by itself, button up";
        break;
    case Scene::PathGoneAndBack:
        ASSERT_TRUE(RunUntil(answered(5)));
        sim_->Stop(SIGTERM);
        ASSERT_TRUE(WorkerEnded());
        EXPECT_TRUE(ButtonBack());
        PressPoll();  // on the vanished path
        ASSERT_TRUE(WorkerEnded());
        EXPECT_FALSE(fs::exists(fs::symlink_status(port_)));
        StartSim({});
        PressPoll();  // the path is back
        EXPECT_TRUE(RunUntil([&] { return Heard() >= 10; }));
        PressPoll();
        pollText = "stops by itself, button up; refused while the path is gone; polls again once it is back";
        break;
    case Scene::HeldByOther:
    case Scene::NoPermission:
        pollText = "does not start, button up";
        break;
    }
    EXPECT_TRUE(WorkerEnded()) << "the worker hangs";
    EXPECT_TRUE(RunUntil([&] { return AllTextsSeen(); }, 2000));
    for (const std::string& text : row.Texts) EXPECT_TRUE(Seen(text)) << text;
    EXPECT_TRUE(ButtonBack());
    user.reset();
    if (holder >= 0) ::close(holder);

    // Every request the simulator heard went through the log with its answer (a failed write has none).
    const int requests = Logged("Request:");
    const int answers = Logged("Answer :");
    const int failedWrites = Occurrences(ReadFile(log_), Utf8ToCp1251("Не могу записать данные в COM-порт"));
    const int heard = Heard() / row.Listeners;
    std::string exchanges;
    if (row.Where == Scene::ReadOnlyFolder) {
        // The log cannot be made there: entries are lost, the poll is not.
        EXPECT_EQ(requests, 0);
        exchanges = std::to_string(heard) + " / 0: the log cannot be created there, the exchanges go on";
    } else {
        EXPECT_GE(requests, heard);
        EXPECT_EQ(answers + failedWrites, requests);
        exchanges = std::to_string(heard) + " / " + std::to_string(requests) + " requests, " + std::to_string(answers) +
                    " answers";
    }
    const bool intact = ReadFile(ini_) == iniBefore_;
    EXPECT_TRUE(intact);

    std::string status;
    // Without awaited texts the row shows the errors it met (a second device garbles answers
    // in ways that depend on timing).
    if (row.Texts.empty())
        for (const std::string& s : seen_)
            if (s.find("...") != s.npos && !s.ends_with("...") && !s.ends_with("OK") && status.size() < 300)
                status += (status.empty() ? "" : "; ") + ("\"" + OneLine(s) + "\"");
    for (const std::string& text : row.Texts)
        for (const std::string& s : seen_)
            if (s.find(text) != s.npos) {
                status += (status.empty() ? "" : "; ") + ("\"" + OneLine(s) + "\"");
                break;
            }
    Outcomes().push_back({row.Fault, pollText, status, exchanges, intact ? "intact" : "CHANGED"});
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<FaultRow>& info) { return std::string(info.param.Name); });

}  // namespace
