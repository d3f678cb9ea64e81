#include "cli/CliPdf.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <vector>

#include "cli/CliSettings.h"

extern char** environ;

namespace {

bool Runnable(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec) && access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::string PdfPrinterPath(const std::string& executablePath, const char* pathVariable) {
    if (const std::string beside = TesterPathBeside(executablePath); Runnable(beside)) return beside;
    std::stringstream folders(pathVariable ? pathVariable : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (folder.empty()) continue;  // an empty entry would mean the working folder: not trusted
        const std::string candidate = (std::filesystem::path(folder) / "ornix-tester").string();
        if (Runnable(candidate)) return candidate;
    }
    return {};
}

std::string PrintHtmlToPdf(const std::string& printer, const std::string& html, const std::string& pdf) {
    // Its messages are caught in a file of their own: stdout may carry JSON for a program.
    char errors[] = "/tmp/ornix-cli-pdf-XXXXXX";
    const int errorFd = mkstemp(errors);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (errorFd >= 0) posix_spawn_file_actions_adddup2(&actions, errorFd, STDERR_FILENO);
    std::vector<std::string> args{printer, "--html-to-pdf", html, pdf};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t child = -1;
    const int spawned = posix_spawn(&child, printer.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    const bool ran = spawned == 0 && waitpid(child, &status, 0) == child;
    std::string said;
    if (errorFd >= 0) {
        char buffer[1024];
        for (ssize_t n; (n = pread(errorFd, buffer, sizeof buffer, off_t(said.size()))) > 0;) said.append(buffer, size_t(n));
        close(errorFd);
        unlink(errors);
    }
    if (ran && WIFEXITED(status) && WEXITSTATUS(status) == 0) return {};
    // The printer's own line says why best ("ornix-tester: не могу записать ..."); Qt's chatter
    // about the runtime folder is not a reason.
    std::string reason;
    std::stringstream lines(said);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("ornix-tester: ", 0) == 0) reason = line.substr(14);
    if (!reason.empty()) return reason;
    if (!ran) return "не могу запустить " + printer;
    return printer + " не сделал PDF" + (WIFSIGNALED(status) ? " (сигнал " + std::to_string(WTERMSIG(status)) + ")" : "");
}
