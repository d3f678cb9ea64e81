#pragma once
// The sound generator's status (command 232/0), the valve controller's status (232/6) and
// identity (89) as the main window shows them. Pure: answer bytes in, cell texts out.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "commands/ChannelState.h"
#include "engine/DeviceState.h"

using TSoundGenStatus = TDeviceState::TSoundGenStatus;

// Shortest good answers (address, echo, result code, data).
constexpr int kSoundGenAnswerLength = 20;
constexpr int kValveStatusAnswerLength = 25;
constexpr int kValveInfoAnswerLength = 14;

constexpr int kValveCount = 5;

// Answer byte of the sound generator's own bus address.
constexpr int kSoundGenAddressByte = 11;
// Answer bytes of the valve controller's settings: address, bit-rate divisor, opening.
constexpr int kValveSettingsAt = 4;

// Rows of TRK_StatusListView in the sound-generator and valve-controller groups.
namespace PeripheralRow {
constexpr int SoundAddress = 24, SoundState = 25, Volume = 26, FileCount = 27, CurrentFile = 28;
constexpr int FolderCount = 29, SoundDeviceType = 30, SoundFirmware = 31;
constexpr int ValveAddress = 32, ValveBitRate = 33, ValveOpening = 34, ValveTemperature = 35;
constexpr int ValveVoltage = 36, ValveDeviceType = 37, ValveFirmware = 38;
// ValveListView row of the proportional-valve currents, one column per valve.
constexpr int ValveCurrent = 0;
}  // namespace PeripheralRow

// `answer` holds at least kSoundGenAnswerLength bytes.
TSoundGenStatus DecodeSoundGenStatus(const uint8_t* answer);
std::string SoundGenStateText(uint8_t state);
// Rows 24..31; the details are dashed while the generator is off, starting or unreachable.
std::vector<RowText> SoundGenTexts(const TSoundGenStatus& status, uint8_t address);

// The valve controller's line rate from the divisor it reports.
uint32_t ValveBitRate(uint8_t divisor);

struct ValveStatusTexts {
    std::vector<RowText> Rows;                       // rows 32..36
    std::array<std::string, kValveCount> Currents;   // ValveListView row 0, valves 1..5
};
// Whether the generator reports files, volume and identity in this state (not off, starting or unreachable).
bool SoundGenSilent(uint8_t state);
// Whether a valve-controller status answer says the controller could not reach it.
bool ValveControllerSilent(const uint8_t* answer);
// `answer` holds at least kValveStatusAnswerLength bytes.
ValveStatusTexts ValveControllerStatusTexts(const uint8_t* answer);

// Rows 37 and 38 from the identity record: type, minor, major, firmware date.
std::vector<RowText> ValveControllerInfoTexts(std::span<const uint8_t, kValveControllerInfoSize> info);
