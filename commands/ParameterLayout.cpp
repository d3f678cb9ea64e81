#include "commands/ParameterLayout.h"

namespace {

// Offsets count from answer byte 4 (the byte after the timeout).
constexpr std::array<FlowmeterParamField, 11> Fields{{
    {0, 1, 10, 13},     // main-valve timeout, tenths of a second
    {1, 1, 1, 14},      // main-valve switch-on threshold
    {2, 1, 1, 15},      // two-channel flowmeter difference
    {3, 1, 1, 16},      // quadrature back-run
    {4, 2, 1, 17},      // maximal leak, ml
    {6, 2, 1, 18},      // pulse counting time, ms
    {8, 2, 1, 19},      // minimal fill speed, ml/s
    {10, 1, 1, 20},     // minimal-speed time, s
    {11, 4, 1000, 21},  // maximal manual dose, ml shown in litres
    {15, 2, 1, 22},     // minimal speed for fault detection
    {17, 1, 1, 23},     // fills below that speed
}};

constexpr int SubControllerOffset = 64;
constexpr int ChannelsPerBoard = 5;
constexpr int MaxChannels = 15;
// Sub-controller addresses inside the sub-controller configuration record.
constexpr int FirstBoardAddressByte = 4;
constexpr int SecondBoardAddressByte = 6;

}  // namespace

std::span<const FlowmeterParamField> FlowmeterParamFields() { return Fields; }

uint32_t FlowmeterParamValue(std::span<const uint8_t, FlowmeterParamBytes> block,
                             const FlowmeterParamField& field) {
    uint32_t value = 0;
    for (int i = field.width - 1; i >= 0; --i) value = value << 8 | block[field.offset + i];
    return value;
}

int FlowmeterBlockBytesIn(int answerLength) {
    if (answerLength >= FlowmeterFullBlockAnswer) return FlowmeterParamBytes;
    if (answerLength >= FlowmeterShortBlockAnswer) return FlowmeterShortBlockAnswer - 4;
    return 0;
}

uint8_t SubControllerBusAddress(uint8_t controllerAddress, int channel) {
    if (channel < 0 || channel >= MaxChannels) return 0;
    int board = channel / ChannelsPerBoard;
    static constexpr int Shift[] = {0, SubControllerOffset, -SubControllerOffset};
    return static_cast<uint8_t>((controllerAddress + Shift[board] + 256) % 256);
}

uint8_t SubControllerChannel(int channel) {
    return static_cast<uint8_t>(((channel % ChannelsPerBoard) + ChannelsPerBoard) % ChannelsPerBoard);
}

bool ChannelBoardPresent(std::span<const uint8_t, 8> subTrkCfg, int channel) {
    if (channel < ChannelsPerBoard) return true;
    int byte = channel < 2 * ChannelsPerBoard ? FirstBoardAddressByte : SecondBoardAddressByte;
    return subTrkCfg[byte] != 0;
}

std::array<uint8_t, 3> ColourBytes(uint32_t colour) {
    return {static_cast<uint8_t>(colour), static_cast<uint8_t>(colour >> 8),
            static_cast<uint8_t>(colour >> 16)};
}
