// The two long service reads against ornix-sim (its own process, answer bytes paced at the
// line rate): the memory dump of 512 pieces into VRX.log and a 64 KB file from the SD card.
// Prints their time over the wire time of the frames they moved (the goal is at most 1.1).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "commands/MemoryCommands.h"
#include "commands/ServiceCommands.h"
#include "engine/ComThreadUnit.h"
#include "link/ComPortUnit.h"
#include "link/ExchangeLog.h"
#include "sim/SimServer.h"
#include "tests/support/RecordingSerialLine.h"
#include "tests/support/RecordingViews.h"
#include "tests/support/SimProcess.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr size_t kFileSize = 64 * 1024;

// A scratch folder for the dump, the exchange log and the file the simulator serves.
struct Scratch {
    fs::path home = fs::current_path();
    fs::path dir = fs::temp_directory_path() / ("ornix-service-bench-" + std::to_string(::getpid()));
    Scratch() {
        fs::create_directories(dir);
        fs::current_path(dir);
        std::ofstream file(dir / "BIG.TXT", std::ios::binary);
        for (size_t i = 0; i < kFileSize; ++i) file.put(char('a' + i % 26));
        SetExchangeLogPath((dir / "bench.log").string());
    }
    ~Scratch() {
        SetExchangeLogPath("");
        fs::current_path(home);
        fs::remove_all(dir);
    }
};

void RunAgainstSim(benchmark::State& state, Op op) {
    const int bitRate = int(state.range(0));
    Scratch scratch;
    SimProcess sim(bitRate, {"--pace", "--no-customers", "--sd-file", (scratch.dir / "BIG.TXT").string()});
    if (sim.Port().empty()) {
        state.SkipWithError("ornix-sim did not start (is it built beside this program?)");
        return;
    }
    RecordingSerialLine& line = UseRecordingLine();
    ComPort.PortName = sim.Port();
    if (ComPort.Open() != 0) {
        state.SkipWithError("cannot open the simulator's port");
        return;
    }
    ComPort.SetBitRate(bitRate);
    TRecordingViews views;
    TComThread worker(views.Bundle());
    worker.FreeOnTerminate = false;
    worker.DeviceAddress = 1;
    worker.SdFilePath = "BIG.TXT";

    double elapsedMs = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        op(worker);
        elapsedMs += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        views.StatusTexts.clear();
        views.ErrorTexts.clear();
    }
    const double byteMs = std::chrono::duration<double, std::milli>(ByteTime(bitRate)).count();
    const double wireMs = double(line.BytesWritten() + line.BytesRead()) * byteMs;
    const double pacedMs = double(line.BytesRead()) * byteMs;
    ComPort.Close();
    ComPort.SetLine(nullptr);

    const double runs = double(state.iterations());
    state.counters["run_s"] = elapsedMs / runs / 1000;
    state.counters["wire_s"] = wireMs / runs / 1000;  // requests and answers at the line rate
    state.counters["time_per_wire"] = elapsedMs / wireMs;
    state.counters["time_per_paced"] = elapsedMs / pacedMs;  // answers only: the pty does not slow requests
}

void BM_MemoryDump(benchmark::State& state) { RunAgainstSim(state, ReadMemory); }
void BM_SdFile64K(benchmark::State& state) { RunAgainstSim(state, ReadSdCardFile); }

BENCHMARK(BM_MemoryDump)->Arg(115200)->Arg(9600)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_SdFile64K)->Arg(115200)->Arg(9600)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
