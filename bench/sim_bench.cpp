// How fast the virtual controller answers: the model and bus alone, and a whole exchange of
// the tool's port with the in-process simulator over a pseudo-terminal.
#include <benchmark/benchmark.h>

#include "link/ComPortUnit.h"
#include "link/FrameCodec.h"
#include "sim/SimBus.h"
#include "sim/SimServer.h"

namespace {

void BusAnswersIdentification(benchmark::State& state) {
    SimBus bus(SimConfig{}, HostClock());
    const std::vector<uint8_t> frame = BuildFrame(std::vector<uint8_t>{1, 0, 0});
    for (auto _ : state) benchmark::DoNotOptimize(bus.Receive(frame, LineSettings{9600}, 0));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BusAnswersIdentification);

void ExchangeOverPty(benchmark::State& state) {
    SimServer sim(SimConfig{});
    std::string error;
    if (!sim.Start(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    TECOMPort port;
    port.PortName = sim.PortName();
    if (port.Open() != 0) {
        state.SkipWithError(port.ResultText.c_str());
        return;
    }
    port.SetReadTimeout(500);
    uint8_t buf[256];
    for (auto _ : state) {
        buf[0] = 1;
        buf[1] = uint8_t(state.range(0));
        buf[2] = 0;
        port.Exchange(buf, state.range(0) == 0 ? 3 : 2);
        if (port.Error != 0) state.SkipWithError(port.ResultText.c_str());
    }
    port.Close();
    state.SetLabel(state.range(0) == 0 ? "identification, 30-byte answer" : "time read, 12-byte answer");
}
BENCHMARK(ExchangeOverPty)->Arg(0)->Arg(8)->Unit(benchmark::kMicrosecond);

}  // namespace
