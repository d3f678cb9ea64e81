#include "tests/support/SimOnComPort.h"

#include "link/ComPortUnit.h"
#include "sim/SimOptions.h"

std::unique_ptr<SimHarness> StartSimOnComPort(const std::vector<std::string>& options, SimClockSource clock,
                                              std::string& error, bool customers) {
    SimConfig config;
    if (!ParseSimArguments(options, config, error)) return nullptr;
    config.Controller.Pouring.Customers = customers;
    auto sim = std::make_unique<SimHarness>(config, std::move(clock));
    if (!sim->Started()) {
        error = sim->Error();
        return nullptr;
    }
    ComPort.SetLine(nullptr);  // the real serial line, whatever an earlier test put there
    ComPort.PortName = sim->PortName();
    if (ComPort.Open() != 0) {
        error = ComPort.ResultText;
        return nullptr;
    }
    ComPort.SetBitRate(9600);
    return sim;
}
