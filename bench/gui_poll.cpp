// gui_poll_bench: the whole application (main window offscreen, its worker, the exchange log)
// polls ornix-sim, a process of its own, paced at the line rate, byte by byte and in bursts
// of 14 as a receiver FIFO or a USB adapter hands them over. For each it prints the passes,
// the pass time over the answers' paced time, and the CPU the tester spent, as a share of a
// core and per pass, and its resident memory at the end. Usage: gui_poll_bench [SECONDS per row,
// default 10 [RATE BURST: that row only]]. ORNIX_GUI_BENCH_FILLS=closed lets the simulator's
// customers pour; =chart also opens the dose window, whose chart then draws their fills.
#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <QPushButton>

#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/ComThreadUnit.h"
#include "link/CommandCodes.h"
#include "link/ComPortUnit.h"
#include "link/ExchangeLog.h"
#include "sim/SimServer.h"
#include "tests/support/ProcessFigures.h"
#include "tests/support/RecordingSerialLine.h"
#include "tests/support/SimProcess.h"
#include "ui/main/AppWindows.h"
#include "ui/widgets/RepaintPacer.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Runs the event loop, display steps among its events, for `d`, sleeping while there is none.
void RunEventsFor(std::chrono::milliseconds d) {
    QEventLoop loop;
    QTimer::singleShot(d, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Row {
    int rate, burst;
};

bool Measure(const Row& row, int seconds, const fs::path& dir) {
    const std::string fills = qEnvironmentVariable("ORNIX_GUI_BENCH_FILLS").toStdString();
    std::vector<std::string> options{"--pace", "--pace-burst", std::to_string(row.burst)};
    if (fills.empty()) options.push_back("--no-customers");
    SimProcess sim(row.rate, options);
    if (sim.Port().empty()) {
        std::fprintf(stderr, "gui_poll_bench: ornix-sim did not start (is it built beside this program?)\n");
        return false;
    }
    const fs::path ini = dir / "tester.ini";
    std::ofstream(ini) << "[Port]\nLast Port=" << sim.Port() << "\nBaudRate=" << row.rate << "\nDevAddr=1\n";
    RecordingSerialLine& line = UseRecordingLine();
    std::atomic<int> passes{0};
    line.OnRequest = [&](const std::vector<uint8_t>& rq) {
        if (rq.size() >= 2 && rq[1] == Cmd::ReadTime) ++passes;
    };
    {
        TAppWindows windows(ini.string());
        windows.Form1.show();
        if (fills == "chart") windows.Form1.FuelButton->click();
        windows.Form1.PollButton->click();
        // The first pass also reads the settings: measure from the third on.
        const auto warmUp = Clock::now() + std::chrono::seconds(30);
        while (passes < 3 && Clock::now() < warmUp) RunEventsFor(std::chrono::milliseconds(5));
        const int passesBefore = passes;
        const int paintsBefore = windows.Form1.Repaints()->Paints();
        const uint64_t answerBytesBefore = line.BytesRead();
        const double cpuBefore = ProcessCpuMs();
        const auto start = Clock::now();
        RunEventsFor(std::chrono::seconds(seconds));
        const double wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        const double cpuMs = ProcessCpuMs() - cpuBefore;
        const int n = passes - passesBefore;
        const int paints = windows.Form1.Repaints()->Paints() - paintsBefore;
        const double pacedMs = double(line.BytesRead() - answerBytesBefore) *
                               std::chrono::duration<double, std::milli>(ByteTime(row.rate)).count();
        windows.Form1.PollButton->click();
        const auto stop = Clock::now() + std::chrono::seconds(10);
        while (WorkerRunning && Clock::now() < stop) RunEventsFor(std::chrono::milliseconds(5));
        if (n <= 0) {
            std::printf("%6d | %5d | no pass in %d s\n", row.rate, row.burst, seconds);
            return false;
        }
        std::printf("%6d | %5d | %6d | %7.1f | %14.3f | %11.1f | %15.2f | %15.1f | %6.0f\n", row.rate, row.burst, n,
                    wallMs / n, wallMs / pacedMs, 100.0 * cpuMs / wallMs, cpuMs / n, double(paints) / n,
                    ResidentKb() / 1024);
        std::fflush(stdout);
    }
    ComPort.SetLine(nullptr);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // `make bench` hands every benchmark Google Benchmark's options: anything not a number is ignored.
    const int given = argc > 1 ? std::atoi(argv[1]) : 0;
    const int seconds = given > 0 ? given : 10;
    if (argc <= 3) {
        // Each row in a process of its own: a row run after another inherits what the first
        // left behind in Qt's caches and timers, and its figures wander with it.
        std::printf("gui_poll_bench: %d s a row, the window offscreen\n", seconds);
        std::printf("  rate | burst | passes | pass ms | pass / paced | CPU %% core | CPU ms / pass | repaints / pass | RSS MB\n");
        std::fflush(stdout);
        bool ok = true;
        for (const Row& row : {Row{9600, 1}, Row{9600, 14}, Row{115200, 1}, Row{115200, 14}}) {
            const std::string command = "'" + fs::read_symlink("/proc/self/exe").string() + "' " +
                                        std::to_string(seconds) + " " + std::to_string(row.rate) + " " +
                                        std::to_string(row.burst);
            ok = std::system(command.c_str()) == 0 && ok;
        }
        return ok ? 0 : 1;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    char pattern[] = "/tmp/ornix-gui-bench-XXXXXX";
    const fs::path dir = ::mkdtemp(pattern);
    SetExchangeLogPath((dir / "tester.log").string());  // every exchange is logged, as in the tool
    const bool ok = Measure(Row{std::atoi(argv[2]), std::atoi(argv[3])}, seconds, dir);
    SetExchangeLogPath("");
    fs::remove_all(dir);
    return ok ? 0 : 1;
}
