#include "link/ExchangeLog.h"

#include "link/UserFormats.h"
#include "link/Cp1251.h"
#include "link/ToolFiles.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <atomic>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kVrxLogName[] = "VRX.log";

// "<short date> <long time>" in Windows-1251, made once a second: three entries go with
// every exchange, and the local time and the user's formats cost more than all else of an entry.
void AppendDateTime(std::string& out, std::chrono::system_clock::time_point when) {
    struct SecondText {
        std::time_t second = -1;
        std::string shortDate, longTime;  // the formats it was made with
        std::string text;
    };
    thread_local SecondText made;
    const std::time_t second = std::chrono::system_clock::to_time_t(when);
    const UserFormats& formats = CurrentUserFormats();
    if (second != made.second || formats.ShortDate != made.shortDate || formats.LongTime != made.longTime) {
        std::tm local{};
        localtime_r(&second, &local);
        made.second = second;
        made.shortDate = formats.ShortDate;
        made.longTime = formats.LongTime;
        made.text.clear();
        AppendAsCp1251(made.text, UserDateText(local) + " " + UserTimeText(local));
    }
    out += made.text;
}

std::string DefaultExchangeLogPath() {
    const std::string exe = ExecutablePath();
    const std::string folder = std::filesystem::path(exe).parent_path().string();
    const bool writable = !folder.empty() && access(folder.c_str(), W_OK) == 0;
    const std::string path = ExchangeLogPathFor(exe, writable, std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    return path;
}

struct LogPathSetting {
    std::mutex mutex;
    // Shared with the entries: taking it costs no copy of the text.
    std::shared_ptr<const std::string> path;
};

LogPathSetting& PathSetting() {
    static LogPathSetting setting;
    return setting;
}

struct LogProblemReport {
    std::mutex mutex;
    std::function<void(const std::string&)> report;
    bool said = false;
};

LogProblemReport& ProblemReport() {
    static LogProblemReport r;
    return r;
}

// An entry could not be had: said once when the file cannot be opened at all.
void NoteUnopenedLog(const std::string& path) {
    auto& r = ProblemReport();
    std::lock_guard lock(r.mutex);
    if (r.said || !r.report) return;
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) {  // only locked by another tester this moment
        ::close(fd);
        return;
    }
    r.said = true;
    r.report("Не могу записать журнал обмена " + path + " (" + std::strerror(errno) + ")");
}

std::atomic<uint64_t> gLogLimit{kDefaultExchangeLogLimit};
std::atomic<bool> gLogOff{false};

// A file rotated out from under us is at least this close to the limit: entries are far
// smaller, so only then is the name looked up again.
constexpr uint64_t kRotatedOutMargin = 1 << 20;

// The log's length as this process knows it between two looks: its own entries add to it, and
// it looks (fstat) every kLookEvery entries and at every entry near the limit. Another tester
// writing the same file then delays a rotation by a few entries at most, and an exchange's three
// entries cost the open, lock, write and close that each entry needs, and nothing more.
constexpr int kLookEvery = 64;
class KnownLength {
public:
    // The length to go by, when no look is due.
    bool Recall(const std::string& path, uint64_t rotateAt, uint64_t& size) {
        std::lock_guard lock(mutex_);
        if (path != path_ || unlooked_ >= kLookEvery || length_ + kRotatedOutMargin > rotateAt) return false;
        ++unlooked_;
        size = length_;
        return true;
    }
    void Looked(const std::string& path, uint64_t size) {
        std::lock_guard lock(mutex_);
        path_ = path;
        length_ = size;
        unlooked_ = 0;
    }
    void Wrote(const std::string& path, uint64_t size) {
        std::lock_guard lock(mutex_);
        if (path == path_) length_ = size;
    }

private:
    std::mutex mutex_;
    std::string path_;
    uint64_t length_ = 0;
    int unlooked_ = 0;
};
KnownLength gKnownLength;

// Opens and locks the file now at `path`; `size` gets its length (0 when nobody rotates,
// `rotateAt` 0). Another tester may have rotated the file between our open and our lock; the
// entry then goes into the new file, not after the rotated one's end.
int OpenLocked(const std::string& path, uint64_t rotateAt, uint64_t& size) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return -1;
        // Others may read the file, but an entry that is still open keeps every other writer out.
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return -1;
        }
        size = 0;
        if (rotateAt == 0 || gKnownLength.Recall(path, rotateAt, size)) return fd;
        struct stat held{}, named{};
        if (fstat(fd, &held) != 0) {
            ::close(fd);
            return -1;
        }
        size = uint64_t(held.st_size);
        gKnownLength.Looked(path, size);
        const bool mayBeRotatedOut = size + kRotatedOutMargin > rotateAt;
        if (!mayBeRotatedOut ||
            (stat(path.c_str(), &named) == 0 && held.st_ino == named.st_ino && held.st_dev == named.st_dev))
            return fd;
        ::close(fd);
    }
    return -1;
}
// The whole entry in one write; a failed one loses it. Returns the bytes written.
uint64_t WriteAll(int fd, const std::string& bytes) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    return n > 0 ? uint64_t(n) : 0;
}

const std::shared_ptr<const std::string>& VrxLogPath() {
    static const auto path = std::make_shared<const std::string>(kVrxLogName);
    return path;
}

std::shared_ptr<const std::string> SharedExchangeLogPath() {
    auto& setting = PathSetting();
    std::lock_guard lock(setting.mutex);
    if (!setting.path) setting.path = std::make_shared<const std::string>(DefaultExchangeLogPath());
    return setting.path;
}


}  // namespace

LogEntry::LogEntry(std::shared_ptr<const std::string> path, Stamp stamp, uint64_t rotateAt)
    : path_(std::move(path)), rotateAt_(rotateAt) {
    if (!path_ || path_->empty()) return;
    const auto now = std::chrono::system_clock::now();
    fd_ = OpenLocked(*path_, rotateAt, size_);
    if (fd_ < 0) return;
    text_.reserve(128);
    if (stamp == Stamp::Exchange) AppendExchangeLogStamp(text_, now);
    else AppendVrxLogStamp(text_, now);
}

LogEntry::~LogEntry() {
    if (fd_ < 0) return;
    const std::string& bytes = text_;
    const bool full = rotateAt_ != 0 && !bytes.empty() && size_ > 0 && size_ + bytes.size() > rotateAt_;
    if (full) {
        // Still under our lock: no other tester writes while the files shift.
        RotateLogFiles(*path_, kKeptExchangeLogs);
        uint64_t freshSize = 0;
        const int fresh = OpenLocked(*path_, rotateAt_, freshSize);
        if (fresh >= 0) {
            gKnownLength.Wrote(*path_, freshSize + WriteAll(fresh, bytes));
            ::close(fresh);
            ::close(fd_);
            return;
        }
        // Another tester took the new file first: the entry ends the rotated one, whole.
    }
    const uint64_t written = bytes.empty() ? 0 : WriteAll(fd_, bytes);
    if (rotateAt_ != 0) gKnownLength.Wrote(*path_, size_ + written);
    ::close(fd_);
}

void LogEntry::Append(std::string_view text) {
    if (fd_ >= 0) AppendAsCp1251(text_, text);
}

void LogEntry::AppendCp1251(std::string_view bytes) {
    if (fd_ >= 0) text_ += bytes;
}

TELogger::TELogger()
    : LogEntry(gLogOff.load(std::memory_order_relaxed) ? nullptr : SharedExchangeLogPath(), Stamp::Exchange,
               ExchangeLogLimit()) {
    if (!IsOpen() && !gLogOff.load(std::memory_order_relaxed)) NoteUnopenedLog(ExchangeLogPath());
}

void SetExchangeLogOff(bool off) { gLogOff.store(off, std::memory_order_relaxed); }

void SetExchangeLogProblemReport(std::function<void(const std::string&)> report) {
    auto& r = ProblemReport();
    std::lock_guard lock(r.mutex);
    r.report = std::move(report);
    r.said = false;
}

cVRX_Logger::cVRX_Logger() : LogEntry(VrxLogPath(), Stamp::Vrx) {}
cVRX_Logger::cVRX_Logger(const std::string& path)
    : LogEntry(std::make_shared<const std::string>(path), Stamp::Vrx) {}

void AppendExchangeLogStamp(std::string& out, std::chrono::system_clock::time_point when) {
    AppendDateTime(out, when);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() % 1000;
    if (ms < 0) ms += 1000;
    const char digits[] = {':', char('0' + ms / 100), char('0' + ms / 10 % 10), char('0' + ms % 10), ' '};
    out.append(digits, sizeof digits);
}

void AppendVrxLogStamp(std::string& out, std::chrono::system_clock::time_point when) {
    AppendDateTime(out, when);
    out += ' ';
}

std::string ExchangeLogStamp(std::chrono::system_clock::time_point when) {
    std::string stamp;
    AppendExchangeLogStamp(stamp, when);
    return Cp1251ToUtf8(stamp);
}

std::string VrxLogStamp(std::chrono::system_clock::time_point when) {
    std::string stamp;
    AppendVrxLogStamp(stamp, when);
    return Cp1251ToUtf8(stamp);
}

std::string ExchangeLogPathFor(const std::string& executablePath, bool folderWritable,
                               const char* xdgStateHome, const char* home) {
    return ToolFilePath(executablePath, ".log", folderWritable, xdgStateHome, home, ".local/state");
}

std::string ExchangeLogPath() { return *SharedExchangeLogPath(); }

void SetExchangeLogPath(const std::string& path) {
    auto& setting = PathSetting();
    std::lock_guard lock(setting.mutex);
    setting.path = path.empty() ? nullptr : std::make_shared<const std::string>(path);
}

void SetExchangeLogLimit(uint64_t bytes) { gLogLimit.store(bytes, std::memory_order_relaxed); }
uint64_t ExchangeLogLimit() { return gLogLimit.load(std::memory_order_relaxed); }

void RotateLogFiles(const std::string& path, int keep) {
    if (keep < 1) return;
    // rename() replaces the target, so the oldest kept file simply goes.
    for (int n = keep - 1; n >= 1; --n)
        std::rename((path + "." + std::to_string(n)).c_str(), (path + "." + std::to_string(n + 1)).c_str());
    std::rename(path.c_str(), (path + ".1").c_str());
}
