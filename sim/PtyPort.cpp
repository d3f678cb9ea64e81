#include "sim/PtyPort.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
struct SpeedRate {
    speed_t Speed;
    int Rate;
};
constexpr SpeedRate kSpeeds[] = {
    {B1200, 1200}, {B2400, 2400}, {B4800, 4800}, {B9600, 9600}, {B19200, 19200},
    {B38400, 38400}, {B57600, 57600}, {B115200, 115200}, {B230400, 230400},
};

std::string SystemError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }
}  // namespace

int BitRateOfSpeed(unsigned speed) {
    for (const SpeedRate& s : kSpeeds)
        if (s.Speed == speed) return s.Rate;
    return 0;
}

bool PtyPort::Open(std::string& error) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0) {
        error = SystemError("posix_openpt");
        return false;
    }
    char name[128];
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
        error = SystemError("pseudo-terminal set-up");
        Close();
        return false;
    }
    slavePath_ = name;
    portName_ = slavePath_.starts_with("/dev/") ? slavePath_.substr(5) : slavePath_;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave_ < 0) {
        error = SystemError("open slave");
        Close();
        return false;
    }
    // Start the way the tool leaves a line: raw, 9600 8N1, so that nothing is echoed or
    // translated before the tool has set the port up itself.
    termios t{};
    tcgetattr(slave_, &t);
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    tcsetattr(slave_, TCSANOW, &t);
    return true;
}

bool PtyPort::MakeLink(const std::string& path, std::string& error) {
    struct stat st{};
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = path + " exists and is not a symlink; left as it is";
            return false;
        }
        ::unlink(path.c_str());
    }
    if (symlink(slavePath_.c_str(), path.c_str()) != 0) {
        error = SystemError(("symlink " + path).c_str());
        return false;
    }
    link_ = path;
    return true;
}

void PtyPort::Close() {
    if (!link_.empty()) {
        // Only our own link: someone may have put something else there meanwhile.
        char target[256];
        ssize_t n = readlink(link_.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, size_t(n)) == slavePath_) ::unlink(link_.c_str());
        link_.clear();
    }
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
    slave_ = master_ = -1;
}

LineSettings PtyPort::Line() const {
    termios t{};
    if (tcgetattr(master_, &t) != 0) return {};
    return LineSettings{BitRateOfSpeed(cfgetospeed(&t))};
}

void PtyPort::StopEcho() {
    termios t{};
    if (slave_ < 0 || tcgetattr(slave_, &t) != 0 || !(t.c_lflag & (ECHO | ECHONL))) return;
    t.c_lflag &= ~tcflag_t(ECHO | ECHONL);
    tcsetattr(slave_, TCSANOW, &t);
}

bool PtyPort::ClearStaleExclusive() {
    int exclusive = 0;
    if (slave_ < 0 || ioctl(slave_, TIOCGEXCL, &exclusive) != 0 || exclusive == 0) return false;
    // Our own lock is granted only when no tester holds one; it is held just for the clearing.
    if (flock(slave_, LOCK_EX | LOCK_NB) != 0) return false;
    const bool cleared = ioctl(slave_, TIOCNXCL) == 0;
    flock(slave_, LOCK_UN);
    return cleared;
}
