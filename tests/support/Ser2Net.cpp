#include "tests/support/Ser2Net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

extern char** environ;

namespace {

// True once a socket listens on 127.0.0.1:port, read from /proc so that no test connection
// reaches ser2net (each connection opens and closes the serial device behind it).
bool Listening(int port) {
    std::ifstream in("/proc/net/tcp");
    std::string line;
    char local[64];
    std::snprintf(local, sizeof local, "0100007F:%04X", port);
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string slot, address, remote, state;
        fields >> slot >> address >> remote >> state;
        if (address == local && state == "0A") return true;
    }
    return false;
}

std::string FindSer2Net() {
    for (const char* path : {"/usr/sbin/ser2net", "/usr/bin/ser2net", "/usr/local/sbin/ser2net"})
        if (access(path, X_OK) == 0) return path;
    return {};
}

}  // namespace

int FreeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) == 0)
        port = ntohs(a.sin_port);
    close(fd);
    return port;
}

Ser2Net::Ser2Net(const std::string& device, Mode mode, const std::string& options) : mode_(mode) {
    const std::string program = FindSer2Net();
    if (program.empty()) {
        error_ = "ser2net is not installed (make deps installs it)";
        return;
    }
    char pattern[] = "/tmp/ornix-ser2net-XXXXXX";
    if (!mkdtemp(pattern)) return;
    dir_ = pattern;
    port_ = FreeLoopbackPort();
    const std::string config = dir_ + "/ser2net.yaml";
    {
        std::ofstream out(config);
        out << "connection: &ornix\n"
            << "  accepter: " << (mode == Mode::Rfc2217 ? "telnet(rfc2217),tcp," : "tcp,") << "127.0.0.1," << port_ << "\n"
            << "  connector: serialdev," << device << ",9600n81,local\n"
            << "  options:\n"
            << "    kickolduser: true\n"
            << options;
    }
    // -n: stay in the foreground as our child; -u: no UUCP lock files in /var/lock.
    std::vector<std::string> args{program, "-n", "-u", "-c", config, "-P", dir_ + "/pid"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Its complaints about mDNS and syslog are not the test's business.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (pid_ > 0 && !(listening_ = Listening(port_)) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!listening_) error_ = "ser2net does not listen on 127.0.0.1:" + std::to_string(port_);
}

Ser2Net::~Ser2Net() {
    Kill();
    if (!dir_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
}

std::string Ser2Net::PortName() const {
    return std::string(mode_ == Mode::Rfc2217 ? "rfc2217://" : "tcp://") + "127.0.0.1:" + std::to_string(port_);
}

void Ser2Net::Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
    listening_ = false;
}
