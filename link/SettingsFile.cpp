#include "link/SettingsFile.h"

#include <algorithm>

#include "link/ToolFiles.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <vector>
#include <sys/stat.h>

namespace {

std::string_view Trim(std::string_view s) {
    const char* blanks = " \t\r";
    const auto first = s.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(blanks);
    return s.substr(first, last - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// One line of the file as far as the lookup cares.
struct IniLine {
    enum Kind { Other, Section, Key } kind = Other;
    std::string_view name, value;
};

IniLine Classify(std::string_view raw) {
    const auto line = Trim(raw);
    if (line.empty() || line.front() == ';' || line.front() == '#') return {};
    if (line.front() == '[') {
        const auto close = line.find(']');
        if (close == std::string_view::npos) return {};
        return {IniLine::Section, Trim(line.substr(1, close - 1)), {}};
    }
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) return {};
    return {IniLine::Key, Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))};
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.emplace_back(text, start, end - start);
        start = end + 1;
    }
    return lines;
}

bool ReadWholeFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    text = buffer.str();
    return true;
}

// Locates a key; returns the index of its line, or -1. lastOfSection is the last
// non-blank line that belongs to the section (-1 when the section is missing).
struct KeyPosition {
    int keyLine = -1;
    int lastOfSection = -1;
};

KeyPosition Locate(const std::vector<std::string>& lines, std::string_view section, std::string_view key) {
    KeyPosition at;
    bool inSection = false;
    for (int i = 0; i < int(lines.size()); ++i) {
        const auto line = Classify(lines[i]);
        if (line.kind == IniLine::Section) {
            inSection = SameName(line.name, section);
            if (inSection && at.lastOfSection < 0) at.lastOfSection = i;
            continue;
        }
        if (!inSection) continue;
        if (!Trim(lines[i]).empty()) at.lastOfSection = i;
        if (line.kind == IniLine::Key && at.keyLine < 0 && SameName(line.name, key)) at.keyLine = i;
    }
    return at;
}

// The file a path names once symbolic links are followed; a dangling link names the file
// it would create. Relative link texts count from the link's own folder.
std::string FollowLinks(std::string path) {
    for (int hop = 0; hop < 40; ++hop) {
        std::vector<char> text(4096);
        const auto n = ::readlink(path.c_str(), text.data(), text.size());
        if (n <= 0 || size_t(n) >= text.size()) break;  // not a link (or a name too long to follow)
        std::string next(text.data(), size_t(n));
        const auto slash = path.rfind('/');
        if (next.front() != '/' && slash != std::string::npos) next = path.substr(0, slash + 1) + next;
        path = next;
    }
    return path;
}

// Writes beside the real file and renames over it, so a crash mid-write never leaves half a
// file; a linked-in settings file stays linked and keeps its permissions.
bool ReplaceFile(const std::string& linkPath, const std::string& text) {
    const std::string path = FollowLinks(linkPath);
    const auto slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        // The fallback location may not exist yet.
        std::string dir = path.substr(0, slash);
        for (size_t p = 1; p <= dir.size(); ++p)
            if (p == dir.size() || dir[p] == '/') ::mkdir(dir.substr(0, p).c_str(), 0755);
    }
    const std::string temp = path + ".tmp";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    struct stat old {};
    bool written = ::stat(path.c_str(), &old) != 0 || ::fchmod(fd, old.st_mode & 07777) == 0;
    size_t done = 0;
    while (written && done < text.size()) {
        const auto n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += size_t(n);
    }
    written = written && done == text.size() && ::fsync(fd) == 0;
    ::close(fd);
    if (!written || std::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace

bool ParseIniInteger(std::string_view text, int& value) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    const auto end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

std::string SettingsFile::ReadString(std::string_view section, std::string_view key,
                                     std::string_view fallback) const {
    std::string text;
    if (!ReadWholeFile(path_, text)) return std::string(fallback);
    const auto lines = SplitLines(text);
    const auto at = Locate(lines, section, key);
    if (at.keyLine < 0) return std::string(fallback);
    return std::string(Classify(lines[at.keyLine]).value);
}

int SettingsFile::ReadInteger(std::string_view section, std::string_view key, int fallback) const {
    int value = 0;
    return ParseIniInteger(ReadString(section, key, ""), value) ? value : fallback;
}

bool SettingsFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    // A line break would smuggle extra lines into the file.
    if (value.find_first_of("\r\n") != std::string_view::npos) return false;
    std::string text;
    const bool existed = ReadWholeFile(path_, text);
    auto lines = SplitLines(text);
    const bool crlf = !lines.empty() && !lines.front().empty() && lines.front().back() == '\r';
    const std::string cr = crlf ? "\r" : "";
    const std::string keyLine = std::string(key) + "=" + std::string(value) + cr;

    const auto at = Locate(lines, section, key);
    if (at.keyLine >= 0) {
        lines[at.keyLine] = keyLine;
    } else if (at.lastOfSection >= 0) {
        lines.insert(lines.begin() + at.lastOfSection + 1, keyLine);
    } else {
        if (existed && !lines.empty() && !Trim(lines.back()).empty()) lines.push_back(cr);
        lines.push_back("[" + std::string(section) + "]" + cr);
        lines.push_back(keyLine);
    }
    std::string out;
    for (const auto& line : lines) out += line + "\n";
    return ReplaceFile(path_, out);
}

bool SettingsFile::WriteInteger(std::string_view section, std::string_view key, int value) {
    return WriteString(section, key, std::to_string(value));
}

LinkSettings LoadLinkSettings(const SettingsFile& file) {
    LinkSettings s;
    s.port = file.ReadString(kPortSection, kLastPortKey, s.port);
    s.baudRate = file.ReadInteger(kPortSection, kBaudRateKey, s.baudRate);
    s.devAddr = uint8_t(file.ReadInteger(kPortSection, kDevAddrKey, s.devAddr) & 0xFF);
    s.extraTimeoutMs = std::max(-1, file.ReadInteger(kPortSection, kExtraTimeoutKey, s.extraTimeoutMs));
    return s;
}

uint64_t LoadLogLimitBytes(const SettingsFile& file) {
    const int mb = file.ReadInteger(kLogSection, kLogLimitKey, kDefaultLogLimitMB);
    return uint64_t(mb < 0 ? kDefaultLogLimitMB : mb) * 1024 * 1024;
}

std::string ChooseSettingsPath(const std::string& exePath, bool exeDirWritable,
                               const char* xdgConfigHome, const char* home) {
    return ToolFilePath(exePath, ".ini", exeDirWritable, xdgConfigHome, home, ".config");
}

std::string DefaultSettingsPath() {
    std::string exe = ExecutablePath();
    if (exe.empty()) exe = "ornix-tester";
    const auto slash = exe.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : exe.substr(0, slash + 1);
    const std::string beside = ChooseSettingsPath(exe, true, nullptr, nullptr);
    // An existing file must itself be writable, or changes would be lost.
    const bool writable = ::access(dir.c_str(), W_OK) == 0 &&
                          (::access(beside.c_str(), F_OK) != 0 || ::access(beside.c_str(), W_OK) == 0);
    return ChooseSettingsPath(exe, writable, std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}
