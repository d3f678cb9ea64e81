#pragma once
// Log writers: one object is one entry. Creating it opens the file and stamps the time,
// Append adds text, destroying it writes the entry with one write and closes the file.
// A file that cannot be opened or locked loses the entry silently.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class LogEntry {
public:
    LogEntry(const LogEntry&) = delete;
    LogEntry& operator=(const LogEntry&) = delete;
    ~LogEntry();

    // UTF-8 text; written in Windows-1251. Line breaks ("\r\n") are the caller's.
    void Append(std::string_view text);
    // Text already in Windows-1251, plain ASCII among it (hex bytes, a description made before).
    void AppendCp1251(std::string_view bytes);
    bool IsOpen() const { return fd_ >= 0; }

protected:
    enum class Stamp { Exchange, Vrx };
    // `rotateAt`: size in bytes beyond which the file is rotated before an entry is written; 0 never.
    LogEntry(std::shared_ptr<const std::string> path, Stamp stamp, uint64_t rotateAt = 0);

private:
    int fd_ = -1;
    std::string text_;  // Windows-1251
    std::shared_ptr<const std::string> path_;
    uint64_t rotateAt_ = 0;
    uint64_t size_ = 0;  // the file's length when the entry was opened
};

// The exchange log, named like the executable with ".log". It never grows past the size
// limit: the full file becomes ".1", older ones shift up to ".5", the oldest goes.
class TELogger : public LogEntry {
public:
    TELogger();
};

// The memory dump, "VRX.log" in the working directory, or a file at `path` (a new dump is
// written beside the old one first).
class cVRX_Logger : public LogEntry {
public:
    cVRX_Logger();
    explicit cVRX_Logger(const std::string& path);
};

// "<short date> <long time>:<ms, three digits> " and "<short date> <long time> ".
std::string ExchangeLogStamp(std::chrono::system_clock::time_point when);
std::string VrxLogStamp(std::chrono::system_clock::time_point when);
// The same appended to `out`, in Windows-1251.
void AppendExchangeLogStamp(std::string& out, std::chrono::system_clock::time_point when);
void AppendVrxLogStamp(std::string& out, std::chrono::system_clock::time_point when);

// Where the exchange log goes: beside the executable, or, when that folder is not
// writable, in $XDG_STATE_HOME/ornix-tester/ (default ~/.local/state/ornix-tester/).
std::string ExchangeLogPathFor(const std::string& executablePath, bool folderWritable,
                               const char* xdgStateHome, const char* home);
// Benchmarks only, never the tool: no exchange-log entry is made at all, so that the
// port's own cost can be told apart from the log's.
void SetExchangeLogOff(bool off);

// Who hears that the exchange log cannot be written: the first entry that cannot open the file
// hands `report` the reason, once a run (setting a report starts over). A file another tester
// holds for a moment is no such problem. `report` may be called on any thread.
void SetExchangeLogProblemReport(std::function<void(const std::string&)> report);

// The path in use; worked out once, unless a test set its own.
std::string ExchangeLogPath();
void SetExchangeLogPath(const std::string& path);  // empty: back to the default

inline constexpr uint64_t kDefaultExchangeLogLimit = 50ull * 1024 * 1024;
inline constexpr int kKeptExchangeLogs = 5;
// Size at which the exchange log is rotated; 0 lets it grow without end.
void SetExchangeLogLimit(uint64_t bytes);
uint64_t ExchangeLogLimit();
// Shifts "path.1" .. "path.<keep-1>" up by one (the last one is dropped) and makes "path" "path.1".
void RotateLogFiles(const std::string& path, int keep);
