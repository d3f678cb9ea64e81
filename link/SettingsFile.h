#pragma once
// The link settings file: an ini text with one section "Port". Values are read key by key
// with defaults; each write rewrites one key and keeps every other line as it stands.
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::string_view kPortSection = "Port";
inline constexpr std::string_view kLastPortKey = "Last Port";
inline constexpr std::string_view kBaudRateKey = "BaudRate";
inline constexpr std::string_view kDevAddrKey = "DevAddr";
// Milliseconds added to every answer time-out on a network line instead of its measured round trip.
inline constexpr std::string_view kExtraTimeoutKey = "ExtraTimeoutMs";

class SettingsFile {
public:
    explicit SettingsFile(std::string path) : path_(std::move(path)) {}
    const std::string& Path() const { return path_; }

    // Returns the fallback when the file, the section or the key is missing.
    std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
    // Decimal integer with optional sign; anything else (or a value beyond int) gives the fallback.
    int ReadInteger(std::string_view section, std::string_view key, int fallback) const;

    // False when the value cannot be stored (a line break in it, or the file cannot be written).
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    bool WriteInteger(std::string_view section, std::string_view key, int value);

private:
    std::string path_;
};

// What the main window takes from the file at start-up; the values get no range test,
// the address is only cut to its low 8 bits.
struct LinkSettings {
    std::string port = "ttyS0";
    int baudRate = 9600;
    uint8_t devAddr = 1;
    int extraTimeoutMs = -1;  // -1 (or a negative value): the network line's measured round trip
};
LinkSettings LoadLinkSettings(const SettingsFile& file);

// The exchange log's size limit, section "Log": "LogLimitMB" megabytes, 50 when missing or
// not a number, 0 for no limit.
inline constexpr std::string_view kLogSection = "Log";
inline constexpr std::string_view kLogLimitKey = "LogLimitMB";
inline constexpr int kDefaultLogLimitMB = 50;
uint64_t LoadLogLimitBytes(const SettingsFile& file);

// Where the settings live: beside the executable, named like it with ".ini"; when that
// directory is not writable, below $XDG_CONFIG_HOME (or ~/.config) so nothing is lost.
std::string ChooseSettingsPath(const std::string& exePath, bool exeDirWritable,
                               const char* xdgConfigHome, const char* home);
// The same for the running process (reads /proc/self/exe and the environment).
std::string DefaultSettingsPath();

// Parses what ReadInteger accepts; false for anything else.
bool ParseIniInteger(std::string_view text, int& value);
