#include "cli/CliSettings.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <unistd.h>

#include "link/ExchangeLog.h"
#include "link/SettingsFile.h"
#include "link/ToolFiles.h"

namespace {

bool FolderWritable(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return !folder.empty() && access(folder.c_str(), W_OK) == 0;
}

std::string TesterPath() { return TesterPathBeside(ExecutablePath()); }

SettingsFile WindowSettings() {
    const std::string tester = TesterPath();
    return SettingsFile(ChooseSettingsPath(tester, FolderWritable(tester), std::getenv("XDG_CONFIG_HOME"),
                                           std::getenv("HOME")));
}

}  // namespace

std::string TesterPathBeside(const std::string& executablePath) {
    return (std::filesystem::path(executablePath).parent_path() / "ornix-tester").string();
}

CliLink WindowLinkSettings() {
    const LinkSettings s = LoadLinkSettings(WindowSettings());
    return CliLink{s.port, s.baudRate, s.devAddr, s.extraTimeoutMs};
}

void UseWindowExchangeLog() {
    const std::string tester = TesterPath();
    const std::string path =
        ExchangeLogPathFor(tester, FolderWritable(tester), std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    SetExchangeLogPath(path);
    SetExchangeLogLimit(LoadLogLimitBytes(WindowSettings()));
}

void SayExchangeLogProblemsOnStderr() {
    SetExchangeLogProblemReport([](const std::string& text) { std::cerr << "ornix-cli: " << text << "\n"; });
}
