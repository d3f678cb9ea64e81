#pragma once
// The tester's command line: --help, --version, --poll-on-start, and the link settings to start with
// instead of the settings file's (the file is rewritten only when the engineer changes them).
#include <optional>
#include <utility>
#include <string>
#include <vector>

#include "ui/main/SettingsFile.h"

struct StartOptions {
    bool help = false;
    bool version = false;
    bool pollOnStart = false;  // "Опрос" pressed as soon as the window shows
    std::optional<std::string> port;
    std::optional<int> baudRate;
    std::optional<int> devAddr;
    // --html-to-pdf IN OUT: no window, only the page IN printed to the PDF file OUT (ornix-cli's
    // report hands its PDF over this way, so that it needs no Qt itself).
    std::optional<std::pair<std::string, std::string>> htmlToPdf;
    std::string error;  // empty when the arguments were understood
};

// Arguments after the program name; Qt's own options are taken out before.
StartOptions ParseStartOptions(const std::vector<std::string>& args);
std::string StartOptionsHelp();
// The settings file's values with those the command line gives in their place.
LinkSettings WithStartOptions(LinkSettings fromFile, const StartOptions& options);
// "ornix-tester <version>"
std::string VersionLine(const std::string& program);
