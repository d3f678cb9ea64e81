#include "link/ExchangeLog.h"

#include "link/UserFormats.h"
#include "link/Cp1251.h"
#include "link/ToolFiles.h"

#include <cstdio>
#include <cstdlib>
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

std::atomic<uint64_t> gLogLimit{kDefaultExchangeLogLimit};
std::atomic<bool> gLogOff{false};

// A file rotated out from under us is at least this close to the limit: entries are far
// smaller, so only then is the name looked up again.
constexpr uint64_t kRotatedOutMargin = 1 << 20;

// Opens and locks the file now at `path`; `size` gets its length, exact while we hold the lock.
// Another tester may have rotated the file between our open and our lock (`rotateAt`, 0 when
// nobody rotates); the entry then goes into the new file, not after the rotated one's end.
// Each system call counts here: three entries go with every exchange.
int OpenLocked(const std::string& path, uint64_t rotateAt, uint64_t& size) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return -1;
        // Others may read the file, but an entry that is still open keeps every other writer out.
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return -1;
        }
        struct stat held{}, named{};
        if (fstat(fd, &held) != 0) {
            ::close(fd);
            return -1;
        }
        size = uint64_t(held.st_size);
        const bool mayBeRotatedOut = rotateAt != 0 && size + kRotatedOutMargin > rotateAt;
        if (!mayBeRotatedOut ||
            (stat(path.c_str(), &named) == 0 && held.st_ino == named.st_ino && held.st_dev == named.st_dev))
            return fd;
        ::close(fd);
    }
    return -1;
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

void WriteAll(int fd, const std::string& bytes) {
    const ssize_t ignored = ::write(fd, bytes.data(), bytes.size());  // a failed write loses the entry
    (void)ignored;
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
            WriteAll(fresh, bytes);
            ::close(fresh);
            ::close(fd_);
            return;
        }
        // Another tester took the new file first: the entry ends the rotated one, whole.
    }
    if (!bytes.empty()) WriteAll(fd_, bytes);
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
               ExchangeLogLimit()) {}

void SetExchangeLogOff(bool off) { gLogOff.store(off, std::memory_order_relaxed); }

cVRX_Logger::cVRX_Logger() : LogEntry(VrxLogPath(), Stamp::Vrx) {}

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
