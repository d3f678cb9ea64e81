#include "link/ToolFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

std::string ExecutablePath() {
    std::error_code ec;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : path.string();
}

std::string ToolFilePath(const std::string& executablePath, const std::string& extension,
                         bool folderWritable, const char* xdgHome, const char* home,
                         const std::string& homeFallback) {
    std::filesystem::path exe(executablePath.empty() ? "ornix-tester" : executablePath);
    const std::string name = exe.filename().replace_extension(extension).string();
    if (folderWritable) return (exe.parent_path() / name).string();
    std::filesystem::path base;
    // A relative XDG folder is to be ignored: it would move with the working directory.
    if (xdgHome && xdgHome[0] == '/') base = xdgHome;
    else base = std::filesystem::path(home && *home ? home : ".") / homeFallback;
    return (base / "ornix-tester" / name).string();
}

std::string WriteFileWhole(const std::string& path, const std::string& text) {
    const std::string fresh = path + ".new";
    const int fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return std::strerror(errno);
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += size_t(n);
    }
    int error = written == text.size() ? 0 : (errno ? errno : EIO);
    if (!error && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && !error) error = errno;
    if (!error && ::rename(fresh.c_str(), path.c_str()) != 0) error = errno;
    if (!error) return {};
    ::unlink(fresh.c_str());
    return std::strerror(error);
}
