// The bus search at one rate over a silent line (ornix-sim in-process, its only controller
// listening at another rate): seconds for addresses 1..254 against the floor of 254 x (20 ms
// pause + 72 ms of waiting for an answer that never comes). One iteration is one whole rate.
#include <benchmark/benchmark.h>

#include <chrono>

#include "commands/NetAddressSearch.h"
#include "engine/ComThreadUnit.h"
#include "link/ComPortUnit.h"
#include "tests/support/RecordingViews.h"
#include "tests/support/SimHarness.h"

namespace {

constexpr int kFirst = 1, kLast = 254;
constexpr double kFloorPerAddressS = 0.020 + 0.072;

void BM_SearchOneRateSilent(benchmark::State& state) {
    const int rate = int(state.range(0));
    SimConfig config;
    config.Controller.BitRate = rate == 9600 ? 19200 : 9600;  // nobody at the searched rate
    SimHarness sim(config);
    if (!sim.Started()) {
        state.SkipWithError(sim.Error().c_str());
        return;
    }
    ComPort.SetLine(nullptr);
    ComPort.PortName = sim.PortName();
    if (ComPort.Open() != 0) {
        state.SkipWithError(ComPort.ResultText.c_str());
        return;
    }
    TRecordingViews views;
    TComThread w(views.Bundle());
    w.FreeOnTerminate = false;
    w.BitRate = rate;
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        SearchAtRate(w, rate, kFirst, kLast);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
    }
    ComPort.Close();
    const double floor = (kLast - kFirst + 1) * kFloorPerAddressS;
    state.counters["s_per_rate"] = seconds;
    state.counters["floor_s"] = floor;
    state.counters["over_floor_ms_per_address"] = (seconds - floor) * 1000 / (kLast - kFirst + 1);
}

}  // namespace

BENCHMARK(BM_SearchOneRateSilent)->Arg(19200)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
