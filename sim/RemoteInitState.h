#pragma once
// Remote initialisation as the simulated firmware does it: it hands out a request code, and
// takes an operation code only when its groups are the request code's groups each plus the
// operation type (modulo 65536), the simulator's stand-in for the maker's secret rule.
#include <array>
#include <cstdint>
#include <vector>

struct SimRemoteInit {
    std::array<uint16_t, 4> RequestCode = {7, 0, 65535, 4321};
    std::vector<uint8_t> Performed;  // types of the operations taken, in order
};

// The operation code groups the firmware takes for an operation type.
std::array<uint16_t, 4> ExpectedRemoteInitGroups(const SimRemoteInit& s, uint8_t type);
