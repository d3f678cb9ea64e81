#include "tests/support/SimProcess.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

extern char** environ;

SimProcess::SimProcess(int bitRate, const std::vector<std::string>& options) {
    const std::string sim = (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "ornix-sim").string();
    std::vector<std::string> args{sim, "--baud", std::to_string(bitRate)};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    if (::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    if (posix_spawn(&pid_, sim.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    char c = 0;
    while (pid_ > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') port_ += c;
    ::close(out[0]);
}

SimProcess::~SimProcess() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
}
