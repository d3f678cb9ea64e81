// `ornix-cli poll --passes 50` against ornix-sim pacing its answers at the line rate: time of one
// pass against the wire time of the frames it moved (the same goal as the window's poll).
// The program runs from a folder of its own, so its exchange log is this run's alone.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "sim/ReplayLog.h"
#include "sim/SimServer.h"

namespace {

namespace fs = std::filesystem;
constexpr int kPasses = 50;
constexpr int kBitRate = 9600;

struct FrameBytes {
    uint64_t Requests = 0, Answers = 0;
};

// Every frame byte the log shows on the line, each way.
FrameBytes LoggedBytes(const fs::path& log) {
    std::ifstream in(log, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    FrameBytes bytes;
    for (const auto& [request, answers] : ParseReplayLog(text.str()).Answers)
        for (const ReplayAnswer& a : answers) {
            bytes.Requests += request.size();
            bytes.Answers += a.Bytes.size();
        }
    return bytes;
}

void BM_CliPoll50Passes(benchmark::State& state) {
    SimConfig config;
    config.Pace = true;
    config.Controller.BitRate = kBitRate;
    config.Controller.Pouring.Customers = false;
    SimServer sim(config);
    std::string error;
    if (!sim.Start(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const fs::path dir = fs::temp_directory_path() / ("ornix-cli-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path cli = dir / "ornix-cli";
    fs::copy_file(fs::read_symlink("/proc/self/exe").parent_path() / "ornix-cli", cli,
                  fs::copy_options::overwrite_existing);
    const std::string command = cli.string() + " --port " + sim.PortName() + " --baud " + std::to_string(kBitRate) +
                                " poll --passes " + std::to_string(kPasses) + " >/dev/null";
    const double byteMs = std::chrono::duration<double, std::milli>(ByteTime(kBitRate)).count();
    double passMs = 0, wireMs = 0, pacedMs = 0;
    for (auto _ : state) {
        fs::remove(dir / "ornix-tester.log");
        const auto start = std::chrono::steady_clock::now();
        const int status = std::system(command.c_str());
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (status != 0) {
            state.SkipWithError("ornix-cli poll failed");
            break;
        }
        // Per pass, the program's start, port opening and start-up reads shared out among them.
        passMs = ms / kPasses;
        const FrameBytes bytes = LoggedBytes(dir / "ornix-tester.log");
        wireMs = double(bytes.Requests + bytes.Answers) * byteMs / kPasses;
        pacedMs = double(bytes.Answers) * byteMs / kPasses;
    }
    state.counters["pass_ms"] = passMs;
    state.counters["wire_ms"] = wireMs;    // requests and answers at the line rate
    state.counters["paced_ms"] = pacedMs;  // answers only: the pty does not slow requests
    state.counters["pass_per_wire"] = wireMs > 0 ? passMs / wireMs : 0;
    state.counters["pass_per_paced"] = pacedMs > 0 ? passMs / pacedMs : 0;  // 1.0: the wire is all there is
    fs::remove_all(dir);
}
BENCHMARK(BM_CliPoll50Passes)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
