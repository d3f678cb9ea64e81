#pragma once
// The controller's two configuration pages and the values the configuration window shows
// for them, both ways, as plain functions: the window only puts these values on widgets.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/ConfigControls.h"
#include "engine/DeviceState.h"

using TrkCfgRecord = std::span<const uint8_t, kTrkCfgSize>;
using SubTrkCfgRecord = std::span<const uint8_t, kSubTrkCfgSize>;

// Hose-set combo items: the hoses an item names and their bit mask (hose k = bit k-1).
struct HoseSetItem {
    std::string_view Text;
    uint8_t Code;
};
std::span<const HoseSetItem> HoseSetItems();
int HoseSetIndex(uint8_t code);          // NoSelection for a code of no item (0 among them)
std::optional<uint8_t> HoseSetCode(int index);

TrkCfgControls TrkCfgToControls(TrkCfgRecord record);

// Writes the controls into a record that holds the configuration as read: the bits the
// window does not show are sent back unchanged, and so is every field whose control has
// no selection (there is no value to put in its place).
void ControlsToTrkCfg(const TrkCfgControls& controls, std::span<uint8_t, kTrkCfgSize> record);

// The channel count byte when it is one the window offers, else nothing.
std::optional<int> TrkCfgChannelCount(TrkCfgRecord record);

SubTrkCfgTexts SubTrkCfgToTexts(SubTrkCfgRecord record);
std::string SubTrkStateText(uint8_t state);
uint32_t SubTrkBitRate(uint8_t divisor);
uint8_t SubTrkDivisor(std::string_view bitRateText);

// The three bytes WriteSubTrkCfg sends, from the texts of the sub-controller group.
// A text that is not a number counts as address 0 (none); a number that is no bus
// address is refused with a message, so nothing is sent.
struct SubTrkValues {
    std::array<uint8_t, 3> Bytes{};  // first address, second address, divisor
    std::string Error;               // empty when the values can be sent
};
SubTrkValues SubTrkValuesToWrite(std::string_view address1, std::string_view address2,
                                 std::string_view bitRate);

