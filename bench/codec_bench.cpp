// Throughput of the framing code: CRC, request building, byte-wise answer parsing (MB/s).
#include "link/Crc16.h"
#include "link/FrameCodec.h"
#include "link/VrxFraming.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

std::vector<uint8_t> RandomBytes(size_t n, uint8_t first = 1) {
    std::mt19937 rng(42);
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    bytes[0] = first;
    return bytes;
}

void BM_Crc16(benchmark::State& state) {
    const auto data = RandomBytes(static_cast<size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(Crc16(data.data(), data.size()));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Crc16)->Arg(3)->Arg(252)->Arg(1023);

void BM_BuildFrame(benchmark::State& state) {
    const auto content = RandomBytes(static_cast<size_t>(state.range(0)));
    uint8_t frame[kMaxFrameBytes];
    for (auto _ : state) benchmark::DoNotOptimize(BuildFrame(content.data(), content.size(), frame));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BuildFrame)->Arg(3)->Arg(252)->Arg(1023);

void BM_ParseAnswer(benchmark::State& state) {
    auto content = RandomBytes(static_cast<size_t>(state.range(0)));
    content[2] = 0;
    const auto frame = BuildFrame(content);
    uint8_t buffer[1026];
    for (auto _ : state) {
        FrameUnstuffer rx(buffer, 1024);
        for (size_t i = 0; i < frame.size() && rx.WantsByte(); ++i) rx.Push(frame[i]);
        benchmark::DoNotOptimize(CheckAnswer(buffer, rx.Stored(), rx.End()));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(frame.size()));
}
BENCHMARK(BM_ParseAnswer)->Arg(5)->Arg(90)->Arg(252)->Arg(1020);

void BM_BuildVrxRequest(benchmark::State& state) {
    const auto request = RandomBytes(static_cast<size_t>(state.range(0)));
    uint8_t frame[2 * kMaxVrxRequest + 5];
    for (auto _ : state) benchmark::DoNotOptimize(BuildVrxRequest(request.data(), request.size(), frame));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BuildVrxRequest)->Arg(2)->Arg(8)->Arg(1023);

void BM_ParseVrxAnswer(benchmark::State& state) {
    std::vector<uint8_t> data(static_cast<size_t>(state.range(0)));
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>('0' + i % 10);
    const auto frame = BuildVrxAnswer(0x02, data);
    uint8_t buffer[1026];
    for (auto _ : state) {
        VrxParser rx(buffer, 1024);
        for (size_t i = 0; i < frame.size() && rx.WantsByte(); ++i) rx.Push(frame[i]);
        benchmark::DoNotOptimize(rx.Error());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(frame.size()));
}
BENCHMARK(BM_ParseVrxAnswer)->Arg(7)->Arg(500);

}  // namespace
