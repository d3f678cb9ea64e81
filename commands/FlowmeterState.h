#pragma once
// The flowmeter state block (46 bytes, verbatim from the controller) and the texts the
// flowmeter window shows of it.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "commands/ChannelState.h"
#include "engine/DeviceState.h"

using FlowmeterStateBlock = std::span<const uint8_t, kFlowmeterStateSize>;

namespace FlowmeterStateAt {
constexpr int Type = 6;
}

// Row of the flowmeter window that names the type.
constexpr int FlowmeterTypeRow = 12;

// The name of a flowmeter type; a type the tool has no name for shows its number.
std::string FlowmeterTypeText(uint8_t type);

// Rows 0, 1, 4 and 5..12 of the flowmeter's column.
std::vector<RowText> FlowmeterStateTexts(FlowmeterStateBlock block);
