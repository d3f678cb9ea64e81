#pragma once
// Command line of ornix-sim: the options of the simulator itself and of every command family.
#include <string>
#include <vector>

#include "sim/SimConfig.h"

// Fills config from the arguments (without the program name). On bad input returns false
// with a message naming the option.
bool ParseSimArguments(const std::vector<std::string>& args, SimConfig& config,
                       std::string& error);

std::string SimHelpText();
std::string SimVersionText();  // "ornix-sim <version>"

// The bit rates a controller can listen at.
bool IsSupportedBitRate(long long rate);
