#include "link/PosixSerialLine.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct SpeedRow {
    int rate;
    speed_t speed;
};

constexpr SpeedRow kSpeeds[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
    {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
    {230400, B230400}, {460800, B460800}, {921600, B921600},
};

int RateOf(const termios& tio) {
    const speed_t speed = cfgetospeed(&tio);
    for (const auto& row : kSpeeds)
        if (row.speed == speed) return row.rate;
    return 0;
}

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for `events` until the deadline; false on time-out or a dead descriptor. A hung-up
// tty (an unplugged adapter) reports itself readable for ever yet reads nothing, so a
// hang-up or error counts as dead even when the wanted event is flagged with it.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int n = poll(&p, 1, MillisecondsLeft(deadline));
        if (n > 0) return (p.revents & events) != 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) == 0;
        if (n == 0 || errno != EINTR) return false;
    }
}

void Release(int fd, bool setExclusive) {
    if (setExclusive) ioctl(fd, TIOCNXCL);
    ::close(fd);
}

// Opens the tty for this program alone: no one else may hold the exclusive flag (root opens
// past it, so it is checked) or the lock. Touches nothing else of the line; -1 when taken,
// with the problem and errno in `failure`. `setExclusive` tells whether the flag is ours to clear again.
int OpenExclusive(const std::string& path, bool& setExclusive, PortOpenFailure& failure) {
    setExclusive = false;
    failure = {};
    auto fail = [&failure](int fd, PortProblem problem, int error) {
        failure.problem = problem;
        failure.error = error;
        if (fd >= 0) ::close(fd);
        return -1;
    };
    // O_NONBLOCK: opening must not wait for a carrier; reads and writes are paced by poll().
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return fail(-1, ProblemOfErrno(errno), errno);
    int wasExclusive = 0;
    if (ioctl(fd, TIOCGEXCL, &wasExclusive) != 0) return fail(fd, ProblemOfErrno(errno), errno);
    if (wasExclusive != 0) return fail(fd, PortProblem::Busy, 0);
    if (ioctl(fd, TIOCEXCL) != 0) return fail(fd, ProblemOfErrno(errno), errno);
    setExclusive = true;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ioctl(fd, TIOCNXCL);
        setExclusive = false;
        return fail(fd, ProblemOfErrno(error), error);
    }
    return fd;
}

}  // namespace

LineFormat LineFormatFor(int bitRate) {
    if (bitRate == 4800) return {bitRate, 7, true, 2};
    return {bitRate, 8, false, 1};
}

std::string SerialDevicePath(const std::string& portName) {
    return !portName.empty() && portName[0] == '/' ? portName : "/dev/" + portName;
}

bool PosixSerialLine::Open(const std::string& path) {
    Close();
    const int fd = OpenExclusive(path, setExclusive_, failure_);
    if (fd < 0) {
        // Who holds a busy port, or which group owns a forbidden one, is looked up only now.
        failure_ = DescribePortFailure(path, failure_.problem, failure_.error, getpid());
        return false;
    }
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        failure_ = DescribePortFailure(path, ProblemOfErrno(errno), errno, getpid());
        Release(fd, setExclusive_);
        setExclusive_ = false;
        return false;
    }
    fd_ = fd;
    bitRate_ = RateOf(tio);
    cfmakeraw(&tio);                      // bytes pass untouched: no echo, no line editing
    tio.c_cflag |= CLOCAL | CREAD;        // ignore modem lines, enable the receiver
    tio.c_cflag &= ~CRTSCTS;              // no hardware flow control
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);  // no XON/XOFF, no parity checking
    tio.c_cc[VMIN] = 0;                   // reads never block: poll() does the waiting
    tio.c_cc[VTIME] = 0;
    tcsetattr(fd_, TCSANOW, &tio);
    // The controller does not use DTR/RTS; a pseudo-terminal has no modem lines, so ignore failure.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(fd_, TIOCMBIC, &lines);
    // A USB adapter holds received bytes for its latency timer (often 16 ms) before passing
    // them on, which every exchange would wait for; a pty or a plain UART has no such flag.
    serial_struct serial{};
    if (ioctl(fd_, TIOCGSERIAL, &serial) == 0 && (serial.flags & ASYNC_LOW_LATENCY) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        setLowLatency_ = ioctl(fd_, TIOCSSERIAL, &serial) == 0;
    }
    return true;
}

void PosixSerialLine::Close() {
    if (fd_ < 0) return;
    // The raw settings stay: a simulator that keeps a pseudo-terminal open must not get its
    // own bytes echoed. The tty keeps the exclusive flag while anyone holds it, so ours goes.
    serial_struct serial{};
    if (setLowLatency_ && ioctl(fd_, TIOCGSERIAL, &serial) == 0) {
        serial.flags &= ~ASYNC_LOW_LATENCY;
        ioctl(fd_, TIOCSSERIAL, &serial);
    }
    Release(fd_, setExclusive_);
    fd_ = -1;
    setExclusive_ = false;
    setLowLatency_ = false;
    bitRate_ = 0;
    aheadAt_ = aheadEnd_ = 0;
    moreQueued_ = false;
}

bool SerialPortIsFree(const std::string& path) {
    bool setExclusive = false;
    PortOpenFailure unused;
    const int fd = OpenExclusive(path, setExclusive, unused);
    if (fd < 0) return false;
    Release(fd, setExclusive);
    return true;
}

void PosixSerialLine::SetFormat(const LineFormat& format) {
    termios tio{};
    if (fd_ < 0 || tcgetattr(fd_, &tio) != 0) return;
    for (const auto& row : kSpeeds) {
        if (row.rate != format.bitRate) continue;
        cfsetispeed(&tio, row.speed);
        cfsetospeed(&tio, row.speed);
    }
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB);
    tio.c_cflag |= format.dataBits == 7 ? CS7 : CS8;
    if (format.evenParity) tio.c_cflag |= PARENB;
    if (format.stopBits == 2) tio.c_cflag |= CSTOPB;
    tcsetattr(fd_, TCSANOW, &tio);
    // What the driver took, which need not be what was asked.
    if (tcgetattr(fd_, &tio) == 0) bitRate_ = RateOf(tio);
}

// Kept from the last setting: every request's log entry names the rate, and nobody else
// changes the line of a port held exclusively.
int PosixSerialLine::BitRate() const { return fd_ < 0 ? 0 : bitRate_; }

bool PosixSerialLine::ReadByte(uint8_t& byte, int timeoutMs) {
    if (fd_ < 0) return false;
    if (aheadAt_ < aheadEnd_) {
        byte = ahead_[aheadAt_++];
        return true;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    // One call takes whatever has arrived. Bytes past an answer's end wait here for the next
    // read, as they would have waited in the tty.
    enum class Took { Bytes, Nothing, LineGone };
    const auto take = [this] {
        const ssize_t n = ::read(fd_, ahead_, sizeof ahead_);
        if (n <= 0) {
            // With VMIN = VTIME = 0 an empty queue reads as 0 bytes; errors mean the line is gone.
            return n < 0 && errno != EAGAIN && errno != EINTR ? Took::LineGone : Took::Nothing;
        }
        aheadAt_ = 0;
        aheadEnd_ = static_cast<int>(n);
        moreQueued_ = n == static_cast<ssize_t>(sizeof ahead_);
        return Took::Bytes;
    };
    // Reading before waiting pays only when the last read left bytes behind: bytes that trickle
    // in (a slow line, a FIFO, a USB adapter's frames) are not there yet when the last ones
    // have just been taken, and each read that finds nothing is a system call for nothing.
    for (bool wait = !moreQueued_;; wait = true) {
        // The deadline bounds the loop even if a line keeps waking poll() with nothing to read.
        const bool ready = !wait || (Clock::now() < deadline && WaitFor(fd_, POLLIN, deadline));
        // Read even when the wait failed: a line that hung up may still hold what came before.
        const Took t = take();
        if (t == Took::Bytes) break;
        if (t == Took::LineGone || !ready) return false;
    }
    byte = ahead_[aheadAt_++];
    return true;
}

int PosixSerialLine::Write(const uint8_t* data, int length, int timeoutMs) {
    if (fd_ < 0) return 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int written = 0;
    while (written < length) {
        const ssize_t n = ::write(fd_, data + written, static_cast<size_t>(length - written));
        if (n > 0) {
            written += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) break;
        if (!WaitFor(fd_, POLLOUT, deadline)) break;
    }
    return written;
}

void PosixSerialLine::Purge() {
    aheadAt_ = aheadEnd_ = 0;  // read ahead, so part of the input being dropped
    moreQueued_ = false;
    if (fd_ >= 0) tcflush(fd_, TCIOFLUSH);
}
