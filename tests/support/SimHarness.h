#pragma once
// Starts the virtual controller in-process on a pseudo-terminal for a test and stops it at
// the end of the scope. Give PortName() to a TECOMPort ("pts/N").
#include <string>
#include <utility>

#include "sim/SimConfig.h"
#include "sim/SimServer.h"

class SimHarness {
public:
    explicit SimHarness(const SimConfig& config = {}, SimClockSource clock = HostClock());
    ~SimHarness();
    SimHarness(const SimHarness&) = delete;
    SimHarness& operator=(const SimHarness&) = delete;

    bool Started() const { return started_; }
    const std::string& Error() const { return error_; }
    const std::string& PortName() const { return server_.PortName(); }
    SimServer& Server() { return server_; }

    // Looks at or changes the simulated devices while the simulator runs.
    template <typename F>
    auto WithBus(F&& f) { return server_.WithBus(std::forward<F>(f)); }
    // A copy of the main controller's state, taken safely.
    ControllerState MainState();

private:
    SimServer server_;
    bool started_ = false;
    std::string error_;
};
