// Round trip of one exchange over a pseudo-terminal against a peer that answers at once:
// microseconds per exchange, the bare transit of the same bytes, and the tool's share.
#include "link/ComPortUnit.h"
#include "link/FrameCodec.h"
#include "tests/support/PtyPeer.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

constexpr int kTransitRounds = 2000;

// Answers every request frame with `reply` until stopped.
class InstantPeer {
public:
    explicit InstantPeer(Bytes reply) {
        peer_.Run([this, reply = std::move(reply)](PtyPeer& p) {
            while (!stop_) {
                if (!p.ReadUntil(kFrameEnd, 50).empty()) p.Write(reply);
            }
        });
    }
    ~InstantPeer() {
        stop_ = true;
        peer_.Join();
    }
    const std::string& PortName() const { return peer_.PortName(); }

private:
    PtyPeer peer_;
    std::atomic<bool> stop_{false};
};

bool ReadUntilTerminator(int fd) {
    uint8_t chunk[512];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 1000) <= 0) return false;
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0) return false;
        if (chunk[n - 1] == kFrameEnd) return true;
    }
}

// The same bytes moved with bulk reads and no framing work: what any program would pay.
double TransitMicroseconds(const std::string& portName, const Bytes& frame) {
    const int fd = ::open(("/dev/" + portName).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return 0;
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    const auto start = Clock::now();
    for (int i = 0; i < kTransitRounds; ++i) {
        if (::write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size()) || !ReadUntilTerminator(fd))
            break;
    }
    const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kTransitRounds;
    ::close(fd);
    return us;
}

void BM_Exchange(benchmark::State& state) {
    const int answerLength = static_cast<int>(state.range(0));
    Bytes content(static_cast<size_t>(answerLength), 0x33);
    content[0] = 1;
    content[1] = 8;
    content[2] = 0;
    InstantPeer peer(BuildFrame(content));
    const Bytes request = {1, 8, 0};
    const double transit = TransitMicroseconds(peer.PortName(), BuildFrame(request));

    SetExchangeLogPath((std::filesystem::temp_directory_path() / "ornix-exchange-bench.log").string());
    TECOMPort port;
    port.PortName = peer.PortName();
    if (port.Open() != 0) {
        state.SkipWithError("cannot open the pseudo-terminal");
        return;
    }
    port.SetReadTimeout(500);
    uint8_t buffer[256];
    const auto start = Clock::now();
    for (auto _ : state) {
        std::copy(request.begin(), request.end(), buffer);
        port.Exchange(buffer, static_cast<int>(request.size()));
        if (port.Error != 0) {
            state.SkipWithError(port.ResultText.c_str());
            break;
        }
    }
    const double elapsed = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    port.Close();
    std::filesystem::remove(std::filesystem::temp_directory_path() / "ornix-exchange-bench.log");
    SetExchangeLogPath("");

    const double perExchange = state.iterations() ? elapsed / static_cast<double>(state.iterations()) : 0;
    state.counters["exchange_us"] = perExchange;
    state.counters["transit_us"] = transit;
    state.counters["tool_share_us"] = perExchange - transit;
}
BENCHMARK(BM_Exchange)->Arg(5)->Arg(90)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
