#pragma once
// The channel state block (86 bytes, verbatim from the controller) and what the main
// window shows of it: status images, dose and total texts, colours, fuel name, price.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/DeviceState.h"

using ChannelStateBlock = std::span<const uint8_t, kChannelStateSize>;

namespace ChannelStateAt {
constexpr int Status = 0;
constexpr int Price = 39;        // u32, kopecks per litre or whole currency units
constexpr int VrxAddress = 43;
constexpr int LiftedColour = 46; // red, green, blue
constexpr int RestingColour = 49;
constexpr int FuelName = 52;     // 14 display codes
}  // namespace ChannelStateAt

// Rows of the channel view.
namespace ChRow {
constexpr int Price = 21;
constexpr int PumpRampUpTime = 22;
constexpr int VrxAddress = 26;
}  // namespace ChRow

struct RowText {
    int Row;
    std::string Text;
    bool operator==(const RowText&) const = default;
};
struct RowImage {
    int Row;
    int Image;
    bool operator==(const RowImage&) const = default;
};

// Who loaded or started a dose; a source the tool does not know shows its number.
std::string DoseSourceText(uint8_t source);

// Rows 0..5: blocked, dose not confirmed, display board busy, nozzle busy, lifted, pump on.
std::array<RowImage, 6> ChannelStatusImages(uint8_t status);

// Rows 6..19: doses, their sources, the current fill and the totals.
std::vector<RowText> ChannelStateTexts(ChannelStateBlock block);

// A colour from its red, green and blue bytes as the windows and the colour dialog keep it:
// red + green * 256 + blue * 65536, so a colour read can be written back unchanged.
uint32_t NozzleColour(ChannelStateBlock block, int offset);

// Kopecks per litre as roubles, or whole units as they stand.
std::string PriceText(uint32_t price, bool wholeUnits);
