#pragma once
// Where the tool keeps the files named like its executable (settings, exchange log).
#include <string>

// The running executable's path, or empty when it cannot be read.
std::string ExecutablePath();

// The executable's name with `extension` in place of its own: beside the executable when
// that folder is writable, otherwise in "ornix-tester/" below the user's XDG folder
// (`xdgHome` when it is absolute, else `home` + `homeFallback`), so nothing is silently lost.
std::string ToolFilePath(const std::string& executablePath, const std::string& extension,
                         bool folderWritable, const char* xdgHome, const char* home,
                         const std::string& homeFallback);

// Writes `text` to a file beside `path` that then takes its place, so an older file stays as it
// was when the new one cannot be written whole. Empty when written, else the system's reason.
std::string WriteFileWhole(const std::string& path, const std::string& text);
