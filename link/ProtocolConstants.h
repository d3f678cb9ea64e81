#pragma once
// Fixed codes shared by the tool and the virtual controller. The controller accepts a
// command-145 request and the VRX 2.0 protocol switch only when they carry these codes.
#include <array>
#include <cstdint>

// Request bytes 2..5 of command 145 (bit rate and protocol type), guarding against a stray
// frame changing the line settings.
inline constexpr std::array<uint8_t, 4> kCommand145Code = {0x4F, 0x52, 0x4E, 0x58};

// VRX 2.0 request characters that select the host protocol; the protocol digit follows them.
inline constexpr std::array<uint8_t, 6> kVrxProtocolFunctionCode = {'9', '1', '4', '5', '0', '2'};

// Answer bytes 1..7 with which the controller confirms the protocol switch.
inline constexpr std::array<uint8_t, 7> kVrxProtocolConfirmation = {'9', '1', '4', '5', '0', '0', '1'};
