#include "link/ToolFiles.h"

#include <filesystem>
#include <fstream>
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
    std::ofstream out(fresh, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    std::error_code ec;
    if (out) std::filesystem::rename(fresh, path, ec);
    if (out && !ec) return {};
    std::filesystem::remove(fresh, ec);
    return "Не могу записать " + path;
}
