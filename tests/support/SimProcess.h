#pragma once
// ornix-sim from the same build, in a process of its own, so that the calling process holds
// the tool only (benchmarks measure its time and memory). The port is the first line it prints.
#include <sys/types.h>

#include <string>
#include <vector>

class SimProcess {
public:
    // Options as on its command line; --baud RATE is put in front of them.
    SimProcess(int bitRate, const std::vector<std::string>& options);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Empty when the simulator did not start.
    const std::string& Port() const { return port_; }

private:
    pid_t pid_ = -1;
    std::string port_;
};
