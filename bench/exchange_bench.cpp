// The tool's own CPU per exchange over a pseudo-terminal against a peer that answers at once,
// for a 5- and a 90-byte answer, with the exchange log written and without it, set against
// (a) a bare write and bulk read of the same bytes on the same pty and (b) libmodbus's RTU
// master reading holding registers of the same answer size from an instant responder (when
// libmodbus is installed). With the log it also prints the floor of three entries that each
// open, lock, write and close their file. The machine is shared and noisy: all are measured in
// turns, several rounds, and each keeps its least CPU per exchange.
#include "link/ComPortUnit.h"
#include "link/ExchangeLog.h"
#include "link/FrameCodec.h"
#include "tests/support/PtyPeer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#ifdef ORNIX_HAVE_LIBMODBUS
#include <modbus.h>
#endif

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kRounds = 5;
constexpr int kExchangesPerRound = 400;

// CPU of the calling thread only: the peers run on threads of their own.
double ThreadCpuUs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
}

// Least CPU per call of `exchange` over the rounds so far, kept in `best`; false when one failed.
bool MeasureRound(const std::function<bool()>& exchange, double& best) {
    const double start = ThreadCpuUs();
    for (int i = 0; i < kExchangesPerRound; ++i)
        if (!exchange()) return false;
    best = std::min(best, (ThreadCpuUs() - start) / kExchangesPerRound);
    return true;
}

// Answers every request (bytes up to `requestEnd`, or `requestLength` bytes) with `reply`.
class InstantPeer {
public:
    InstantPeer(Bytes reply, uint8_t requestEnd, size_t requestLength = 0) {
        peer_.Run([this, reply = std::move(reply), requestEnd, requestLength](PtyPeer& p) {
            while (!stop_) {
                const Bytes rq = requestLength ? p.ReadCount(requestLength, 50) : p.ReadUntil(requestEnd, 50);
                if (!rq.empty() && (requestLength == 0 || rq.size() == requestLength)) p.Write(reply);
            }
        });
    }
    ~InstantPeer() {
        stop_ = true;
        peer_.Join();
    }
    std::string Path() const { return "/dev/" + peer_.PortName(); }
    const std::string& PortName() const { return peer_.PortName(); }

private:
    PtyPeer peer_;
    std::atomic<bool> stop_{false};
};

// Any program's least work: write the request, read the answer in bulk up to its terminator.
class BareLine {
public:
    explicit BareLine(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios tio{};
        if (fd_ >= 0 && tcgetattr(fd_, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(fd_, TCSANOW, &tio);
        }
    }
    ~BareLine() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool Exchange(const Bytes& frame) {
        if (::write(fd_, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) return false;
        uint8_t chunk[512];
        for (;;) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 1000) <= 0) return false;
            const ssize_t n = ::read(fd_, chunk, sizeof chunk);
            if (n <= 0) return false;
            if (chunk[n - 1] == kFrameEnd) return true;
        }
    }

private:
    int fd_ = -1;
};

// The least any writer pays for three entries when each one opens, locks, writes once and
// closes its file, as the exchange log does: the floor under the tool's logged figure.
bool BareLogEntries(const std::string& path) {
    static const std::string line(60, 'A');
    for (int entry = 0; entry < 3; ++entry) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0 || flock(fd, LOCK_EX | LOCK_NB) != 0 || ::write(fd, line.data(), line.size()) <= 0) {
            if (fd >= 0) ::close(fd);
            return false;
        }
        ::close(fd);
    }
    return true;
}

#ifdef ORNIX_HAVE_LIBMODBUS
uint16_t ModbusCrc(const Bytes& bytes) {
    uint16_t crc = 0xFFFF;
    for (uint8_t b : bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i) crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

// Holding registers read from slave 1: the answer is 5 + 2 * registers bytes.
class ModbusMaster {
public:
    explicit ModbusMaster(int registers) : registers_(registers), peer_(Answer(registers), 0, 8) {
        ctx_ = modbus_new_rtu(peer_.Path().c_str(), 115200, 'N', 8, 1);
        if (ctx_ && (modbus_set_slave(ctx_, 1) != 0 || modbus_connect(ctx_) != 0)) {
            modbus_free(ctx_);
            ctx_ = nullptr;
        }
    }
    ~ModbusMaster() {
        if (!ctx_) return;
        modbus_close(ctx_);
        modbus_free(ctx_);
    }
    bool Ready() const { return ctx_ != nullptr; }
    bool Exchange() {
        uint16_t values[128];
        return modbus_read_registers(ctx_, 0, registers_, values) == registers_;
    }

private:
    static Bytes Answer(int registers) {
        Bytes a = {1, 3, uint8_t(2 * registers)};
        for (int i = 0; i < 2 * registers; ++i) a.push_back(0x33);
        const uint16_t crc = ModbusCrc(a);
        a.push_back(uint8_t(crc & 0xFF));
        a.push_back(uint8_t(crc >> 8));
        return a;
    }
    int registers_;
    InstantPeer peer_;
    modbus_t* ctx_ = nullptr;
};
#endif

// state.range(0): answer content length; state.range(1): 1 with the exchange log, 0 without.
void BM_ExchangeCpu(benchmark::State& state) {
    const int answerLength = static_cast<int>(state.range(0));
    const bool logged = state.range(1) != 0;
    Bytes content(static_cast<size_t>(answerLength), 0x33);
    content[0] = 1;
    content[1] = 8;
    content[2] = 0;
    const Bytes answerFrame = BuildFrame(content);
    InstantPeer peer(answerFrame, kFrameEnd);
    const Bytes request = {1, 8, 0};
    const Bytes requestFrame = BuildFrame(request);

    const auto logPath = std::filesystem::temp_directory_path() / "ornix-exchange-bench.log";
    SetExchangeLogPath(logPath.string());
    SetExchangeLogOff(!logged);
    TECOMPort port;
    port.PortName = peer.PortName();
    // As in the tool: the request's description is the first of its three log entries.
    port.Describer = [](const uint8_t*, int, int) { return std::string("Текущее время"); };
    if (port.Open() != 0) {
        state.SkipWithError("cannot open the pseudo-terminal");
        return;
    }
    port.SetReadTimeout(500);
    uint8_t buffer[256];
    const auto toolExchange = [&] {
        std::copy(request.begin(), request.end(), buffer);
        port.Exchange(buffer, static_cast<int>(request.size()));
        return port.Error == 0;
    };
    const std::string floorPath = logPath.string() + ".floor";
    double tool = 1e9, bare = 1e9, modbus = 1e9, logFloor = 1e9;
    int answerBytes = static_cast<int>(answerFrame.size()), modbusBytes = 0;
    for (auto _ : state) {
#ifdef ORNIX_HAVE_LIBMODBUS
        const int registers = std::max(1, (answerBytes - 5) / 2);
        modbusBytes = 5 + 2 * registers;
        ModbusMaster master(registers);
        if (!master.Ready()) state.SkipWithError("libmodbus cannot open its pseudo-terminal");
#endif
        for (int round = 0; round < kRounds; ++round) {
            if (!MeasureRound(toolExchange, tool)) {
                state.SkipWithError(port.ResultText.c_str());
                break;
            }
            port.Close();  // the bare line takes the port in turn
            {
                BareLine line("/dev/" + peer.PortName());
                MeasureRound([&] { return line.Exchange(requestFrame); }, bare);
            }
            port.Open();
            port.SetReadTimeout(500);
            if (logged) MeasureRound([&] { return BareLogEntries(floorPath); }, logFloor);
#ifdef ORNIX_HAVE_LIBMODBUS
            if (master.Ready()) MeasureRound([&] { return master.Exchange(); }, modbus);
#endif
        }
    }
    port.Close();
    SetExchangeLogOff(false);
    SetExchangeLogPath("");
    std::filesystem::remove(logPath);
    std::filesystem::remove(floorPath);

    state.counters["answer_bytes"] = answerBytes;
    state.counters["tool_cpu_us"] = tool;
    state.counters["bare_cpu_us"] = bare;
    state.counters["tool_per_bare"] = tool / bare;
    if (logged && logFloor < 1e9) state.counters["log_floor_us"] = logFloor;
    if (modbusBytes > 0 && modbus < 1e9) {
        state.counters["modbus_bytes"] = modbusBytes;
        state.counters["modbus_cpu_us"] = modbus;
        state.counters["tool_per_modbus"] = tool / modbus;
        // The least ratio a logged exchange can reach: the bare transit plus the entries' floor.
        if (logged && logFloor < 1e9) state.counters["floor_per_modbus"] = (bare + logFloor) / modbus;
    }
}
BENCHMARK(BM_ExchangeCpu)
    ->ArgNames({"answer", "log"})
    ->Args({5, 0})
    ->Args({90, 0})
    ->Args({5, 1})
    ->Args({90, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
