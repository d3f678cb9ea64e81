#pragma once
// The flowmeter settings record (command 229/1) and the crypto-flowmeter diagnostics
// (command 231) as the flowmeter window shows them. Pure: record bytes in, cell texts out.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "commands/ChannelState.h"
#include "engine/DeviceState.h"

using FlowmeterDataRecord = std::span<const uint8_t, kFlowmeterDataSize>;
using CryptoDataRecord = std::span<const uint8_t, kCryptoDataSize>;

// Byte offsets of the flowmeter settings record (little-endian).
namespace FlowmeterDataAt {
constexpr int Type = 0;
constexpr int LpgAddress = 1;
constexpr int Voltage = 2;      // u8, tenths of a volt
constexpr int Coefficient = 3;  // u32, pulses per 10 l
constexpr int Rate = 7;         // u16, ml/s
constexpr int MassTotal = 17;   // u64, grams
}  // namespace FlowmeterDataAt

// Byte offsets of the crypto-flowmeter record (little-endian).
namespace CryptoAt {
constexpr int Status = 0;
constexpr int Gain = 1;         // magnetic-field gain 0..255
constexpr int GainFlags = 2;    // bit 3 too weak, 2 too strong, 1 CORDIC overflow, 0 compensated
constexpr int Strength = 3;     // u16, 16383 = 100 %
constexpr int RawAngle = 5;     // u16, 16384 = one turn
constexpr int Angle = 7;        // u16, compensated
constexpr int Version = 15;
constexpr int Date = 16;        // u32 seconds since 2000-01-01
constexpr int Total = 20;       // u64
constexpr int BackupTotal = 28; // u64
constexpr int Temperature = 36; // s8 °C
constexpr int TempOffset = 37;  // s8 °C
}  // namespace CryptoAt

// Flowmeter types with a meaning beyond their name.
constexpr uint8_t kCryptoFlowmeterType = 3;
constexpr uint8_t kLpgMassFlowmeterType = 4;

// Status the flowmeter reports when the controller got no answer from it.
constexpr uint8_t kCryptoNotAnswered = 254;
// A status without explanation, for a column that shows none.
constexpr uint8_t kCryptoNoStatus = 255;

// Rows of the flowmeter window's list written from these records.
namespace FlowRow {
constexpr int Coefficient = 0, Voltage = 1, Temperature = 2, TempOffset = 3, Rate = 4;
constexpr int Type = 12, LpgAddress = 13, CryptoTotal = 14, CryptoBackup = 15;
constexpr int GasDensity = 16, GasTemperature = 17, MassTotal = 18;
constexpr int Firmware = 19, Status = 20, Gain = 21, GainFlags = 22, Strength = 23;
constexpr int RawAngle = 24, Angle = 25;
}  // namespace FlowRow

// Rows of a flowmeter's column from its settings record; density and temperature are
// shown only for an LPGmass flowmeter.
std::vector<RowText> FlowmeterDataTexts(FlowmeterDataRecord record, double density, double temperature);

// Rows 16 and 17 of an LPGmass flowmeter the controller cannot reach.
std::vector<RowText> LpgNoLinkTexts();

// The crypto rows of a flowmeter's column from its diagnostics record.
std::vector<RowText> CryptoDataTexts(CryptoDataRecord record);

// What the crypto rows show when there is nothing to show, told apart in the status row.
enum class CryptoBlank { NotAnswering, NotPolled, NoData };
std::vector<RowText> CryptoBlankTexts(CryptoBlank kind);

// Explanation of a crypto status code for the hint of the status cell; empty when unknown.
std::string CryptoStatusHint(int code);
