// The poll cycle against ornix-sim (its own process, answer bytes paced at the line rate):
// time of one pass against the wire time of the frames it moved, the tool's CPU time per
// pass, the read() calls per answer byte, and the tool's resident memory while it polls. One
// iteration is one pass. Bytes come one at a time, as from a receiver without a FIFO, or in
// bursts of 14, as a 16550 FIFO or a USB adapter's frames hand them to the driver: on a line
// paced byte by byte every byte wakes the tool, whatever the tool does. With ser2net = 1 the
// tool reaches the simulator's pty through a real ser2net on loopback (RFC 2217), beside the
// direct pty in the same run, so the converter's share of a pass shows; ser2net = 2 turns off
// its character delay (the wait for more serial bytes before it sends what it has).
#include <benchmark/benchmark.h>

#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/ComThreadUnit.h"
#include "commands/PollCycle.h"
#include "link/CommandCodes.h"
#include "link/ComPortUnit.h"
#include "link/ExchangeLog.h"
#include "sim/SimServer.h"
#include "tests/support/RecordingSerialLine.h"
#include "tests/support/ProcessFigures.h"
#include "tests/support/RecordingViews.h"
#include "tests/support/Ser2Net.h"
#include "tests/support/SimProcess.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

void BM_PollPass(benchmark::State& state) {
    const int bitRate = int(state.range(0));
    const std::string burst = std::to_string(state.range(1));
    SimProcess sim(bitRate, {"--pace", "--pace-burst", burst, "--no-customers"});
    if (sim.Port().empty()) {
        state.SkipWithError("ornix-sim did not start (is it built beside this program?)");
        return;
    }
    std::unique_ptr<Ser2Net> converter;
    std::string port = sim.Port();
    if (state.range(2) != 0) {
        converter = std::make_unique<Ser2Net>("/dev/" + sim.Port(), Ser2Net::Mode::Rfc2217,
                                              state.range(2) == 2 ? "    chardelay: false\n" : "");
        if (!converter->Started()) {
            state.SkipWithError(converter->Error().c_str());
            return;
        }
        port = converter->PortName();
    }
    const fs::path log = fs::temp_directory_path() / "ornix-poll-bench.log";
    SetExchangeLogPath(log.string());  // every exchange is logged, as in the tool
    RecordingSerialLine& line = UseRecordingLine();
    std::atomic<int> passesStarted{0};
    line.OnRequest = [&](const std::vector<uint8_t>& rq) {
        if (rq.size() >= 2 && rq[1] == Cmd::ReadTime) ++passesStarted;
    };
    TRecordingViews views;
    TPumpedDispatcher ui;
    views.PortPanel = port;
    StartOperation(views.Bundle(ui), port, bitRate, PollCycle);

    // This thread plays the window: it runs the display steps and drops their call log.
    const auto pumpUntilPass = [&](int pass) {
        const bool reached = ui.PumpUntil([&] { return passesStarted >= pass; }, std::chrono::seconds(30));
        views.Calls.clear();
        views.StatusTexts.clear();
        views.ErrorTexts.clear();
        return reached;
    };
    // The first pass reads the settings too; measure from the second on.
    int pass = 2;
    if (!pumpUntilPass(pass)) state.SkipWithError("the poll did not get going");
    const uint64_t bytesBefore = line.BytesWritten() + line.BytesRead();
    const uint64_t answerBytesBefore = line.BytesRead();
    const size_t requestsBefore = line.Requests().size();
    const double cpuBefore = ProcessCpuMs();
    const double readsBefore = ReadCalls();
    const auto start = Clock::now();
    for (auto _ : state) {
        if (!pumpUntilPass(++pass)) {
            state.SkipWithError("a pass took over 30 s");
            break;
        }
    }
    const double elapsedMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const double cpuMs = ProcessCpuMs() - cpuBefore;
    const double reads = ReadCalls() - readsBefore;
    const double rssKb = ResidentKb();
    const double byteMs = std::chrono::duration<double, std::milli>(ByteTime(bitRate)).count();
    const double wireMs = double(line.BytesWritten() + line.BytesRead() - bytesBefore) * byteMs;
    const double pacedMs = double(line.BytesRead() - answerBytesBefore) * byteMs;
    const double exchanges = double(line.Requests().size() - requestsBefore);

    CurrentWorker->Terminate();
    ui.PumpUntil([] { return !WorkerRunning.load(); });
    ComPort.SetLine(nullptr);
    SetExchangeLogPath("");
    fs::remove(log);

    const double passes = double(state.iterations());
    if (passes == 0) return;
    state.counters["pass_ms"] = elapsedMs / passes;
    state.counters["wire_ms"] = wireMs / passes;         // requests and answers at the line rate
    state.counters["paced_ms"] = pacedMs / passes;       // answers only: the pty does not slow requests
    state.counters["unpaced_ms"] = (elapsedMs - pacedMs) / passes;  // tool, simulator and pty hops
    state.counters["pass_per_wire"] = elapsedMs / wireMs;
    state.counters["cpu_ms_per_pass"] = cpuMs / passes;
    state.counters["cpu_share_pct"] = 100.0 * cpuMs / elapsedMs;  // of a core, while polling
    state.counters["pass_per_paced"] = elapsedMs / pacedMs;       // 1.0: the wire is all there is
    state.counters["rss_kb"] = rssKb;
    state.counters["exchanges_per_pass"] = exchanges / passes;
    state.counters["unpaced_ms_per_exchange"] = (elapsedMs - pacedMs) / exchanges;
    state.counters["reads_per_answer_byte"] = reads / double(line.BytesRead() - answerBytesBefore);
}
BENCHMARK(BM_PollPass)->ArgNames({"rate", "burst", "ser2net"})->Args({9600, 1, 0})->Args({9600, 14, 0})
    ->Iterations(6)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PollPass)->ArgNames({"rate", "burst", "ser2net"})->Args({115200, 1, 0})->Args({115200, 14, 0})
    ->Args({115200, 14, 1})->Args({115200, 14, 2})->Iterations(40)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
