#pragma once
// A running simulator: the bus of devices behind a pseudo-terminal, served on a thread of
// its own. ornix-sim runs one; tests start one in-process and stop it again.
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "sim/PtyPort.h"
#include "sim/ReplayBus.h"
#include "sim/SimBus.h"
#include "sim/SimConfig.h"

class SimServer {
public:
    explicit SimServer(const SimConfig& config, SimClockSource clock = HostClock());
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;
    ~SimServer() { Stop(); }

    // Opens the pty (and the link, when configured) and starts serving.
    bool Start(std::string& error);
    void Stop();

    const std::string& PortName() const { return pty_.PortName(); }
    const std::string& SlavePath() const { return pty_.SlavePath(); }

    // Runs f on the bus while the serving thread keeps off it: the way to look at or change
    // a controller's state during a run.
    template <typename F>
    auto WithBus(F&& f) {
        std::lock_guard lock(mutex_);
        return f(bus_);
    }

    std::function<void(const std::string&)> Log;  // set before Start; -v prints it

private:
    using Clock = std::chrono::steady_clock;
    struct Outgoing {
        Clock::time_point Due;
        std::vector<uint8_t> Bytes;
        size_t Sent = 0;
        Clock::duration ByteTime{};  // zero when not paced
        size_t Burst = 1;            // paced bytes are handed over when this many are on the line
    };

    void Run();
    void ReadRequests();
    void Queue(std::vector<BusOutput> outputs);
    void WriteDue();
    int64_t NowMs() const;
    Clock::time_point NextByteTime(const Outgoing& o) const;
    void Note(const std::string& line);

    SimConfig config_;
    SimBus bus_;
    std::unique_ptr<ReplayBus> replay_;  // when set, it answers instead of the bus
    PtyPort pty_;
    int wake_[2] = {-1, -1};
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::deque<Outgoing> queue_;
    Clock::time_point epoch_ = Clock::now();
    Clock::time_point nextStaleCheck_ = Clock::now();  // of an exclusive flag nobody holds
};

// Time one byte takes on the line: start bit, data bits, parity, stop bits.
std::chrono::nanoseconds ByteTime(int bitRate);
