#pragma once
// The state answer of a display board or keyboard and the texts of the display-board
// window, with the colour-correction conversions the window shares.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "commands/ChannelState.h"
#include "engine/DeviceState.h"

namespace TabloStateAt {
constexpr int Type = 5;
constexpr int Temperature = 6;
constexpr int TemperatureOffset = 7;
constexpr int Firmware = 8;          // minor, major, day, month, year - 2000
constexpr int ColourCorrection = 13; // coefficients R, G, B, offsets R, G, B
}  // namespace TabloStateAt

using ColourCorrection = std::array<uint8_t, kTabloColourCorrectionSize>;

bool IsDisplayBoard(int device);
bool IsKeyboard(int device);
// The sub-code that asks for a device's state: 1 display board, 2 keyboard.
uint8_t TabloStateSubCode(int device);
// Shortest answer that carries everything shown for the device.
int TabloStateNeeded(int device);

// "°C" after the signed value; -128 is the controller's "no value".
std::string TabloTemperatureText(uint8_t byte);
// A stored coefficient byte as the percentage the window shows, e.g. "50%".
std::string CoefficientText(uint8_t stored);
// A stored offset byte as the number the window shows (signed value of stored + 1).
std::string OffsetText(uint8_t stored);
// What the window stores for a typed coefficient (percent) or offset.
uint8_t CoefficientFromText(std::string_view typed);
uint8_t OffsetFromText(std::string_view typed);

// Rows of the device's column. `answer` is the whole answer content and at least
// TabloStateNeeded(device) long; a device index outside 0..6 shows nothing.
std::vector<RowText> TabloStateTexts(int device, std::span<const uint8_t> answer);
