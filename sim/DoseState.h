#pragma once
// What the simulated controller keeps of the doses a host loads: whether a channel has one
// waiting to be started, and the emergency-stop button that refuses every dose while pressed.
#include <array>

struct SimDoses {
    std::array<bool, 15> Loaded{};
    bool EmergencyStop = false;
};
