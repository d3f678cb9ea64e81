#include "tests/support/PtyPeer.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

PtyPeer::PtyPeer() {
    const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return;
    char name[128];
    if (grantpt(fd) != 0 || unlockpt(fd) != 0 || ptsname_r(fd, name, sizeof name) != 0) {
        ::close(fd);
        return;
    }
    // The master side passes bytes untouched too.
    termios tio{};
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    master_ = fd;
    const std::string path = name;
    portName_ = path.rfind("/dev/", 0) == 0 ? path.substr(5) : path;
}

PtyPeer::~PtyPeer() {
    Join();
    if (master_ >= 0) ::close(master_);
}

template <class Done>
std::vector<uint8_t> PtyPeer::ReadWhile(int timeoutMs, Done done) {
    std::vector<uint8_t> bytes;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done(bytes)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) break;
        pollfd p{master_, POLLIN, 0};
        const int n = poll(&p, 1, static_cast<int>(left));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        uint8_t byte;
        const ssize_t got = ::read(master_, &byte, 1);
        if (got == 1) bytes.push_back(byte);
        else if (got < 0 && errno == EIO) {
            // No slave open at the moment: wait a little for the port to come.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } else if (got <= 0 && errno != EINTR && errno != EAGAIN) break;
    }
    return bytes;
}

std::vector<uint8_t> PtyPeer::ReadUntil(uint8_t terminator, int timeoutMs) {
    return ReadWhile(timeoutMs, [terminator](const std::vector<uint8_t>& b) { return !b.empty() && b.back() == terminator; });
}

std::vector<uint8_t> PtyPeer::ReadCount(size_t count, int timeoutMs) {
    return ReadWhile(timeoutMs, [count](const std::vector<uint8_t>& b) { return b.size() >= count; });
}

bool PtyPeer::Write(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0) done += static_cast<size_t>(n);
        else if (n < 0 && errno != EINTR && errno != EAGAIN) return false;
    }
    return true;
}

void PtyPeer::Run(std::function<void(PtyPeer&)> script) {
    Join();
    script_ = std::thread([this, script = std::move(script)] { script(*this); });
}

void PtyPeer::Join() {
    if (script_.joinable()) script_.join();
}
