#pragma once
// The virtual controller started in-process with command-line options and ComPort opened
// on its pseudo-terminal at 9600 bit/s, for end-to-end tests of operations.
#include <memory>
#include <string>
#include <vector>

#include "tests/support/SimHarness.h"

// Nothing pours on its own (no virtual customers) unless `customers` is set. On failure
// `error` says why and the result is empty.
std::unique_ptr<SimHarness> StartSimOnComPort(const std::vector<std::string>& options, SimClockSource clock,
                                              std::string& error, bool customers = false);
