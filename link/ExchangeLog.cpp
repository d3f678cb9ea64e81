#include "link/ExchangeLog.h"

#include "link/UserFormats.h"
#include "link/Cp1251.h"
#include "link/ToolFiles.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr char kVrxLogName[] = "VRX.log";

std::string DateTimeText(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&seconds, &local);
    return UserDateText(local) + " " + UserTimeText(local);
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
    std::string path;
};

LogPathSetting& PathSetting() {
    static LogPathSetting setting;
    return setting;
}

}  // namespace

LogEntry::LogEntry(const std::string& path, const std::string& stamp) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    // Others may read the file, but an entry that is still open keeps every other writer out.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return;
    }
    fd_ = fd;
    text_ = stamp;
}

LogEntry::~LogEntry() {
    if (fd_ < 0) return;
    const std::string bytes = Utf8ToCp1251(text_);
    if (!bytes.empty()) {
        const ssize_t ignored = ::write(fd_, bytes.data(), bytes.size());  // a failed write loses the entry
        (void)ignored;
    }
    ::close(fd_);
}

void LogEntry::Append(std::string_view text) {
    if (fd_ >= 0) text_ += text;
}

TELogger::TELogger() : LogEntry(ExchangeLogPath(), ExchangeLogStamp(std::chrono::system_clock::now())) {}

cVRX_Logger::cVRX_Logger() : LogEntry(kVrxLogName, VrxLogStamp(std::chrono::system_clock::now())) {}

std::string ExchangeLogStamp(std::chrono::system_clock::time_point when) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() % 1000;
    char digits[8];
    std::snprintf(digits, sizeof digits, ":%03d ", static_cast<int>(ms < 0 ? ms + 1000 : ms));
    return DateTimeText(when) + digits;
}

std::string VrxLogStamp(std::chrono::system_clock::time_point when) { return DateTimeText(when) + " "; }

std::string ExchangeLogPathFor(const std::string& executablePath, bool folderWritable,
                               const char* xdgStateHome, const char* home) {
    return ToolFilePath(executablePath, ".log", folderWritable, xdgStateHome, home, ".local/state");
}

std::string ExchangeLogPath() {
    auto& setting = PathSetting();
    std::lock_guard lock(setting.mutex);
    if (setting.path.empty()) setting.path = DefaultExchangeLogPath();
    return setting.path;
}

void SetExchangeLogPath(const std::string& path) {
    auto& setting = PathSetting();
    std::lock_guard lock(setting.mutex);
    setting.path = path;
}
