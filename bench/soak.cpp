// ornix-soak: the poll cycle for SOAK_MINUTES minutes (default 10) against ornix-sim, paced at
// the line rate, with customers pouring and a few answers of every kind spoiled. Every minute
// it prints the passes and exchanges of that minute, the errors shown by kind, and the
// process's resident memory, open descriptors and threads; at the end whether memory,
// descriptors and threads stayed flat after the first minute (exit status 1 when not).
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "commands/PollCycle.h"
#include "engine/ComThreadUnit.h"
#include "link/CommandCodes.h"
#include "link/ComPortUnit.h"
#include "link/ExchangeLog.h"
#include "link/PosixSerialLine.h"
#include "tests/support/ProcessFigures.h"
#include "tests/support/RecordingViews.h"
#include "tests/support/SimProcess.h"
#include "tests/support/SoakFigures.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Stays flat: at most this much more resident memory at the end than after the first minute.
constexpr long kFlatMemoryKb = 1024;

// The OS line with counters: requests written, and passes begun (a time read starts each).
class CountingLine : public PosixSerialLine {
public:
    int Write(const uint8_t* data, int length, int timeoutMs) override {
        ++exchanges;
        if (length > 1 && data[1] == Cmd::ReadTime) ++passes;
        return PosixSerialLine::Write(data, length, timeoutMs);
    }
    std::atomic<uint64_t> exchanges{0}, passes{0};
};

struct Minute {
    uint64_t passes = 0, exchanges = 0;
    std::map<std::string, int> errors;
    long rssKb = 0, anonKb = 0, fds = 0, threads = 0;
};

void Print(int minute, const Minute& m) {
    std::string errors;
    for (const auto& [kind, count] : m.errors) errors += (errors.empty() ? "" : ", ") + kind + " " + std::to_string(count);
    std::printf("%4d | %6llu | %9llu | %6ld | %7ld | %3ld | %7ld | %s\n", minute, (unsigned long long)m.passes,
                (unsigned long long)m.exchanges, m.rssKb, m.anonKb, m.fds, m.threads,
                errors.empty() ? "-" : errors.c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const char* env = std::getenv("SOAK_MINUTES");
    const int minutes = argc > 1 ? std::atoi(argv[1]) : env && *env ? std::atoi(env) : 10;
    const std::string rate = argc > 2 ? argv[2] : "115200";
    std::vector<std::string> simOptions{"--pace"};
    for (const std::string& option : SoakSimFaults()) simOptions.push_back(option);
    SimProcess sim(std::stoi(rate), simOptions);
    if (sim.Port().empty()) {
        std::fprintf(stderr, "ornix-soak: ornix-sim did not start (is it built beside this program?)\n");
        return 2;
    }
    const fs::path log = fs::temp_directory_path() / ("ornix-soak-" + std::to_string(getpid()) + ".log");
    SetExchangeLogPath(log.string());  // every exchange is logged, as in the tool
    auto owned = std::make_unique<CountingLine>();
    CountingLine& line = *owned;
    ComPort.SetLine(std::move(owned));
    TRecordingViews views;
    TPumpedDispatcher ui;
    views.PortPanel = sim.Port();
    std::printf("ornix-soak: %d min at %s bit/s on %s, log %s\n", minutes, rate.c_str(), sim.Port().c_str(),
                log.c_str());
    // "anon": heap and stacks; the rest of the resident memory is code and data mapped from files,
    // which grows a page at a time while paths that ran rarely so far run for the first time.
    std::printf("min  | passes | exchanges | rss kB | anon kB | fds | threads | errors shown (by kind)\n");
    StartOperation(views.Bundle(ui), sim.Port(), std::stoi(rate), PollCycle);

    // Only the first and the last minute are kept: a record a minute would itself grow the heap.
    Minute first, last;
    int measured = 0;
    uint64_t passesBefore = 0, exchangesBefore = 0;
    const auto start = Clock::now();
    for (int minute = 1; minute <= minutes && WorkerRunning; ++minute) {
        Minute m;
        const auto end = start + std::chrono::minutes(minute);
        while (Clock::now() < end && WorkerRunning) {
            ui.PumpUntil([&] { return Clock::now() >= end || !WorkerRunning; }, std::chrono::milliseconds(200));
            // The window keeps only what it shows now: the call log is counted and dropped.
            for (const std::string& text : views.StatusTexts) {
                const std::string kind = ErrorKind(text);
                if (!kind.empty()) ++m.errors[kind];
            }
            views.StatusTexts.clear();
            views.ErrorTexts.clear();
            views.Calls.clear();
        }
        m.passes = line.passes - passesBefore;
        m.exchanges = line.exchanges - exchangesBefore;
        passesBefore = line.passes;
        exchangesBefore = line.exchanges;
        m.rssKb = long(ProcFigure("status", "VmRSS"));
        m.anonKb = long(ProcFigure("status", "RssAnon"));
        m.fds = OpenDescriptors("self");
        m.threads = long(ProcFigure("status", "Threads"));
        Print(minute, m);
        if (++measured == 1) first = m;
        last = m;
    }
    const bool ranThrough = WorkerRunning.load();
    if (ranThrough) CurrentWorker->Terminate();
    ui.PumpUntil([] { return !WorkerRunning.load(); }, std::chrono::seconds(10));
    ComPort.SetLine(nullptr);
    SetExchangeLogPath("");
    fs::remove(log);
    for (int n = 1; n <= kKeptExchangeLogs; ++n) fs::remove(log.string() + "." + std::to_string(n));

    if (!ranThrough) {
        std::printf("ornix-soak: the poll stopped by itself\n");
        return 1;
    }
    if (measured < 2) return 0;
    const bool flat = last.rssKb - first.rssKb <= kFlatMemoryKb && last.fds <= first.fds && last.threads <= first.threads;
    std::printf("after minute 1: resident memory %+ld kB (anon %+ld kB), descriptors %+ld, threads %+ld: %s\n",
                last.rssKb - first.rssKb, last.anonKb - first.anonKb, last.fds - first.fds, last.threads - first.threads,
                flat ? "flat" : "NOT FLAT");
    return flat ? 0 : 1;
}
