// ornix-soak-gui: the whole tester for SOAK_MINUTES minutes (default 30): ornix-tester itself,
// offscreen, started with --poll-on-start against ornix-sim paced at 115200 bit/s in bursts of 14,
// with the faults of ornix-soak. It is watched from outside only: every minute the tester's
// anonymous and resident memory, descriptors and threads from /proc, and from its exchange log
// the passes of that minute and the errors it met, by kind. At the end the verdict: anonymous
// memory grows at most 1 MB from minute 3 on (from minute 1 in a shorter run), descriptors and
// threads end where they were then, and the window still polls (exit status 1 when not).
// Usage: ornix-soak-gui [MINUTES]
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "link/Cp1251.h"
#include "tests/support/ProcessFigures.h"
#include "tests/support/SimProcess.h"
#include "tests/support/SoakFigures.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRate = 115200;
constexpr long kAnonGrowthKb = 1024;
constexpr int kSettledMinute = 3;

// Follows a log file that the tester writes and rotates: each call hands over the lines added
// since the last one, the rest of a file rotated away meanwhile first.
class LogFollower {
public:
    explicit LogFollower(std::string path) : path_(std::move(path)) {}
    ~LogFollower() {
        if (fd_ >= 0) ::close(fd_);
    }
    template <class OnLine>
    void Read(const OnLine& onLine) {
        if (fd_ < 0) fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) return;
        Drain(onLine);
        struct stat held{}, named{};
        if (fstat(fd_, &held) == 0 && stat(path_.c_str(), &named) == 0 && held.st_ino != named.st_ino) {
            ::close(fd_);
            fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd_ >= 0) Drain(onLine);
        }
    }

private:
    template <class OnLine>
    void Drain(const OnLine& onLine) {
        char chunk[1 << 16];
        for (ssize_t n; (n = ::read(fd_, chunk, sizeof chunk)) > 0;) {
            partial_.append(chunk, size_t(n));
            size_t from = 0;
            for (size_t end; (end = partial_.find('\n', from)) != std::string::npos; from = end + 1) {
                size_t length = end - from;
                if (length > 0 && partial_[end - 1] == '\r') --length;
                onLine(std::string_view(partial_).substr(from, length));
            }
            partial_.erase(0, from);
        }
    }
    std::string path_;
    int fd_ = -1;
    std::string partial_;
};

// Passes and errors as the exchange log records them: a pass begins with the time read, and
// an answer with an error carries its result text on the line after it.
struct LogCount {
    uint64_t passes = 0, errorCount = 0;
    std::map<std::string, int> errors;
    bool afterAnswer = false;

    void Line(std::string_view cp1251) {
        static const std::string passStart = Utf8ToCp1251("Чтение времени");
        const bool isAnswer = cp1251.find("Answer :") != std::string_view::npos;
        if (cp1251.size() >= passStart.size() && cp1251.substr(cp1251.size() - passStart.size()) == passStart)
            ++passes;
        else if (afterAnswer || cp1251.find("Request:") != std::string_view::npos) {
            const std::string kind = ErrorKind(Cp1251ToUtf8(cp1251));
            if (!kind.empty()) {
                ++errors[kind];
                ++errorCount;
            }
        }
        afterAnswer = isAnswer;
    }
};

struct Minute {
    long anonKb = 0, rssKb = 0, fds = 0, threads = 0;
    uint64_t passes = 0;
};

pid_t StartTester(const fs::path& exe, const std::string& port, const fs::path& output) {
    std::vector<std::string> args{exe.string(), "-platform",       "offscreen", "--port", port, "--baud",
                                  std::to_string(kRate), "--address", "1", "--poll-on-start"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = -1;
    if (posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool Alive(pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) == 0; }

void Stop(pid_t pid) {
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 50; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) != 0) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
    const char* env = std::getenv("SOAK_MINUTES");
    const int minutes = argc > 1 ? std::atoi(argv[1]) : env && *env ? std::atoi(env) : 30;
    const fs::path here = fs::read_symlink("/proc/self/exe").parent_path();
    std::vector<std::string> simOptions{"--pace", "--pace-burst", "14"};
    for (const std::string& option : SoakSimFaults()) simOptions.push_back(option);
    SimProcess sim(kRate, simOptions);
    if (sim.Port().empty()) {
        std::fprintf(stderr, "ornix-soak-gui: ornix-sim did not start (is it built beside this program?)\n");
        return 2;
    }
    // A copy of its own in a fresh folder: settings and exchange log go beside the program.
    char pattern[] = "/tmp/ornix-soak-gui-XXXXXX";
    const fs::path dir = ::mkdtemp(pattern);
    const fs::path exe = dir / "ornix-tester";
    std::error_code ec;
    fs::copy_file(here / "ornix-tester", exe, ec);
    const pid_t pid = ec ? -1 : StartTester(exe, sim.Port(), dir / "tester.out");
    if (pid <= 0) {
        std::fprintf(stderr, "ornix-soak-gui: ornix-tester did not start (is it built beside this program?)\n");
        fs::remove_all(dir);
        return 2;
    }
    const std::string process = std::to_string(pid);
    std::printf("ornix-soak-gui: %d min, ornix-tester (pid %d) offscreen at %d bit/s on %s, bursts of 14, in %s\n",
                minutes, int(pid), kRate, sim.Port().c_str(), dir.c_str());
    std::printf("min  | passes | errors | RssAnon kB | RSS kB | fds | threads | errors met (by kind, from the exchange log)\n");
    std::fflush(stdout);

    LogFollower log((dir / "ornix-tester.log").string());
    Minute settled, last;
    long mostFds = 0, mostThreads = 0;
    bool alive = true;
    const int reference = minutes >= kSettledMinute ? kSettledMinute : 1;
    const auto start = Clock::now();
    for (int minute = 1; minute <= minutes && alive; ++minute) {
        std::this_thread::sleep_until(start + std::chrono::minutes(minute));
        alive = Alive(pid);
        if (!alive) break;
        LogCount count;
        log.Read([&](std::string_view line) { count.Line(line); });
        Minute m;
        m.anonKb = long(ProcFigureOf(process, "status", "RssAnon"));
        m.rssKb = long(ProcFigureOf(process, "status", "VmRSS"));
        m.fds = OpenDescriptors(process);
        m.threads = long(ProcFigureOf(process, "status", "Threads"));
        m.passes = count.passes;
        std::string kinds;
        for (const auto& [kind, n] : count.errors) kinds += (kinds.empty() ? "" : ", ") + kind + " " + std::to_string(n);
        std::printf("%4d | %6llu | %6llu | %10ld | %6ld | %3ld | %7ld | %s\n", minute, (unsigned long long)m.passes,
                    (unsigned long long)count.errorCount, m.anonKb, m.rssKb, m.fds, m.threads,
                    kinds.empty() ? "-" : kinds.c_str());
        std::fflush(stdout);
        if (minute == reference) settled = m;
        if (minute >= reference) {
            mostFds = std::max(mostFds, m.fds);
            mostThreads = std::max(mostThreads, m.threads);
        }
        last = m;
    }
    if (alive) Stop(pid);
    if (!alive) {
        std::printf("ornix-soak-gui: the tester ended by itself; what it wrote:\n");
        std::ifstream out(dir / "tester.out");
        for (std::string line; std::getline(out, line);) std::printf("  %s\n", line.c_str());
    }
    fs::remove_all(dir);
    if (!alive) return 1;
    if (minutes < 1) return 0;
    const long anonGrowth = last.anonKb - settled.anonKb;
    const bool flat = anonGrowth <= kAnonGrowthKb && mostFds <= settled.fds && mostThreads <= settled.threads;
    const bool polling = last.passes > 0;
    std::printf("from minute %d to %d: RssAnon %+ld kB (goal at most %+ld), RSS %+ld kB, descriptors %+ld (most %ld), "
                "threads %+ld (most %ld), passes in the last minute %llu: %s\n",
                reference, minutes, anonGrowth, kAnonGrowthKb, last.rssKb - settled.rssKb, last.fds - settled.fds,
                mostFds, last.threads - settled.threads, mostThreads, (unsigned long long)last.passes,
                flat && polling ? "GOAL MET" : polling ? "GOAL NOT MET" : "NOT POLLING");
    return flat && polling ? 0 : 1;
}
