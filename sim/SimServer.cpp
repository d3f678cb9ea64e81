#include "sim/SimServer.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

std::chrono::nanoseconds ByteTime(int bitRate) {
    // 8N1 is 10 bits a byte; 7E2 at the VRX rate is 1 + 7 + 1 + 2 = 11.
    int bits = bitRate == kVrxBitRate ? 11 : 10;
    return std::chrono::nanoseconds(int64_t(bits) * 1000000000 / std::max(bitRate, 1));
}

namespace {
// How often a port left exclusive by a killed program is looked for.
constexpr std::chrono::seconds kStaleCheckPeriod{1};
}  // namespace

SimServer::SimServer(const SimConfig& config, SimClockSource clock)
    : config_(config), bus_(config, std::move(clock)) {}

void SimServer::Note(const std::string& line) {
    if (Log) Log(line);
}

bool SimServer::Start(std::string& error) {
    if (thread_.joinable()) return true;
    if (!config_.ReplayPath.empty() && !replay_) {
        ReplayLog log;
        if (!LoadReplayLog(config_.ReplayPath, log, error)) return false;
        replay_ = std::make_unique<ReplayBus>(std::move(log), config_.ReplayTiming, config_.Pace);
    }
    if (!pty_.Open(error)) return false;
    if (!config_.LinkPath.empty() && !pty_.MakeLink(config_.LinkPath, error)) {
        pty_.Close();
        return false;
    }
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        pty_.Close();
        return false;
    }
    bus_.Log = [this](const std::string& line) { Note(line); };
    stop_ = false;
    thread_ = std::thread(&SimServer::Run, this);
    return true;
}

void SimServer::Stop() {
    if (thread_.joinable()) {
        stop_ = true;
        char b = 0;
        (void)!write(wake_[1], &b, 1);
        thread_.join();
    }
    for (int& fd : wake_) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    pty_.Close();
    queue_.clear();
}

int64_t SimServer::NowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - epoch_).count();
}

SimServer::Clock::time_point SimServer::NextByteTime(const Outgoing& o) const {
    // A paced byte reaches the tool once its stop bit is on the line, not when its start bit is;
    // with a burst, once the burst is complete or the frame has ended.
    const int64_t onTheLine =
        o.ByteTime.count() > 0 ? int64_t(std::min(o.Sent + o.Burst, o.Bytes.size())) : int64_t(o.Sent);
    return o.Due + o.ByteTime * onTheLine;
}

void SimServer::Queue(std::vector<BusOutput> outputs) {
    for (BusOutput& b : outputs) {
        Outgoing o;
        // Never before now: the bus counts whole milliseconds, which would start a paced
        // answer up to a millisecond before the request that asked for it was read.
        o.Due = std::max(epoch_ + std::chrono::milliseconds(b.DueMs), Clock::now());
        o.Bytes = std::move(b.Bytes);
        if (config_.Pace) o.ByteTime = ByteTime(b.BitRate);
        o.Burst = size_t(std::max(1, config_.PaceBurst));
        queue_.push_back(std::move(o));
    }
}

void SimServer::ReadRequests() {
    uint8_t bytes[4096];
    for (;;) {
        ssize_t n = read(pty_.MasterFd(), bytes, sizeof bytes);
        if (n <= 0) return;
        pty_.StopEcho();
        // Sampled as the bytes arrive: the tool sets its rate before it writes.
        LineSettings line = pty_.Line();
        std::lock_guard lock(mutex_);
        const std::span<const uint8_t> heard(bytes, size_t(n));
        Queue(replay_ ? replay_->Receive(heard, line, NowMs()) : bus_.Receive(heard, line, NowMs()));
    }
}

void SimServer::WriteDue() {
    // One answer at a time, as on a real line; the next starts when the previous is out.
    while (!queue_.empty()) {
        Outgoing& o = queue_.front();
        Clock::time_point now = Clock::now();
        if (NextByteTime(o) > now) return;
        size_t count = o.Bytes.size() - o.Sent;
        if (o.ByteTime.count() > 0) {
            // Every byte whose time has come, so a slow wake-up does not stretch the frame.
            size_t due = size_t((now - o.Due) / o.ByteTime);
            count = std::min(count, due - o.Sent);
        }
        ssize_t n = write(pty_.MasterFd(), o.Bytes.data() + o.Sent, count);
        if (n < 0 && errno == EAGAIN) {
            Note("nobody reads the port: answer discarded");
            n = ssize_t(o.Bytes.size() - o.Sent);
        } else if (n < 0) {
            n = ssize_t(o.Bytes.size() - o.Sent);
        }
        o.Sent += size_t(n);
        if (o.Sent < o.Bytes.size()) continue;
        Clock::time_point end = o.Due + o.ByteTime * int64_t(o.Bytes.size());
        queue_.pop_front();
        if (!queue_.empty() && queue_.front().Due < end) queue_.front().Due = end;
    }
}

void SimServer::Run() {
    while (!stop_) {
        std::optional<Clock::time_point> wake;
        {
            std::lock_guard lock(mutex_);
            if (auto due = bus_.NextRelease()) wake = epoch_ + std::chrono::milliseconds(*due);
        }
        if (!queue_.empty()) {
            Clock::time_point t = NextByteTime(queue_.front());
            if (!wake || t < *wake) wake = t;
        }
        if (!wake || nextStaleCheck_ < *wake) wake = nextStaleCheck_;
        timespec timeout{};
        timespec* timeoutPtr = nullptr;
        if (wake) {
            auto left = std::max(*wake - Clock::now(), Clock::duration::zero());
            auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            timeout.tv_sec = ns / 1000000000;
            timeout.tv_nsec = ns % 1000000000;
            timeoutPtr = &timeout;
        }
        pollfd fds[2] = {{pty_.MasterFd(), POLLIN, 0}, {wake_[0], POLLIN, 0}};
        int ready = ppoll(fds, 2, timeoutPtr, nullptr);
        if (ready < 0 && errno != EINTR) break;
        if (stop_) break;
        if (ready > 0 && (fds[0].revents & POLLIN)) ReadRequests();
        if (Clock::now() >= nextStaleCheck_) {
            if (pty_.ClearStaleExclusive()) Note("exclusive flag of a program gone without closing the port cleared");
            nextStaleCheck_ = Clock::now() + kStaleCheckPeriod;
        }
        {
            std::lock_guard lock(mutex_);
            Queue(bus_.Release(NowMs()));
        }
        WriteDue();
    }
}
