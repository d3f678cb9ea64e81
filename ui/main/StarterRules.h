#pragma once
// Checks of the main window's starters that the flowmeter window calls: a refused value
// leaves its message for panel 4 and starts nothing.
#include <string>
#include <string_view>

struct StarterCheck {
    int value = 0;
    std::string error;  // empty when the value may be sent
};

// Only the controller's own five channels have flowmeters the tool can set.
std::string FlowmeterChannelError(int channel);
// The LPGmass address goes out with the flowmeter's type, so an unknown type (0) sends nothing.
StarterCheck CheckFlowmeterAddress(int channel, int type, std::string_view text);
StarterCheck CheckFlowmeterOffset(int channel, std::string_view text);
