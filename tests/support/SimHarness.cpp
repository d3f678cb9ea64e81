#include "tests/support/SimHarness.h"

#include <gtest/gtest.h>

SimHarness::SimHarness(const SimConfig& config, SimClockSource clock) : server_(config, std::move(clock)) {
    started_ = server_.Start(error_);
    if (!started_) ADD_FAILURE() << "simulator did not start: " << error_;
}

SimHarness::~SimHarness() { server_.Stop(); }

ControllerState SimHarness::MainState() {
    return server_.WithBus([](SimBus& bus) { return bus.Main().State; });
}
