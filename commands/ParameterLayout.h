#pragma once
// Wire layouts of the controller's small settings: the flowmeter supervision block,
// the sub-controller addressing of the reduction constants, nozzle colours.
// Pure functions on bytes; the operations in ParameterCommands use them.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Flowmeter supervision block as the state record keeps it: the 18 bytes that follow
// the timeout (answer bytes 4..21 of command 251, request bytes 3..20 of command 250).
constexpr int FlowmeterParamBytes = 18;
// Answer lengths of command 251: timeout only, without the last three bytes, everything.
constexpr int FlowmeterTimeoutAnswer = 4;
constexpr int FlowmeterShortBlockAnswer = 19;
constexpr int FlowmeterFullBlockAnswer = 22;

// One field of the block: offset in the 18 bytes, width, divisor for display and
// the TRK_StatusListView row that shows it.
struct FlowmeterParamField {
    int offset;
    int width;
    uint32_t divisor;
    int row;
};
std::span<const FlowmeterParamField> FlowmeterParamFields();
// Row of the timeout, which travels in front of the block.
constexpr int FlowmeterTimeoutRow = 12;
// Rows shown only from a full (22-byte) answer.
constexpr int FlowmeterLateRowsFrom = 22;

// Little-endian value of a field taken from the block.
uint32_t FlowmeterParamValue(std::span<const uint8_t, FlowmeterParamBytes> block,
                             const FlowmeterParamField& field);

// How many block bytes an answer of this length carries: 0, 15 or 18.
int FlowmeterBlockBytesIn(int answerLength);

// Bus address that serves channel c of a controller at address a: the controller itself
// for 0..4, its sub-controller boards at a + 64 and a - 64 for 5..9 and 10..14.
uint8_t SubControllerBusAddress(uint8_t controllerAddress, int channel);
// Channel number as the serving board knows it.
uint8_t SubControllerChannel(int channel);
// False for a channel on a sub-controller board whose address in the sub-controller
// configuration is 0 (board not fitted); true for the controller's own channels.
bool ChannelBoardPresent(std::span<const uint8_t, 8> subTrkCfg, int channel);

// Nozzle colour 0x00BBGGRR as the three bytes red, green, blue.
std::array<uint8_t, 3> ColourBytes(uint32_t colour);
