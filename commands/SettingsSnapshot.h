#pragma once
// Every setting of a controller the engineer can write, exactly as read from it, with who the
// controller is: kept in a file, compared with another controller and written back. One
// table of settings (key, group, caption, text both ways) serves the rows a reader shows, the
// file, the comparison and the restore, so a setting is named in one place.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/DeviceState.h"

struct SettingsIdentity {
    uint16_t DeviceType = 0;     // the identification's type word
    std::string DeviceTypeText;  // as the main window shows it
    std::string Firmware;        // "Прошивка" as the main window shows it
    std::string Md5;             // 32 hex digits; empty when the controller gave none
    uint32_t VrxId = 0;
};

// What one channel keeps (the editable rows of the channel view and its reduction constant).
struct ChannelSettings {
    uint32_t Price = 0;            // kopecks, or whole units under the configuration's flag
    uint16_t PumpRampUpTime = 0;   // ms
    std::string FuelName;          // as the display can show it
    uint32_t LiftedColour = 0;     // 0x00BBGGRR
    uint32_t RestingColour = 0;
    uint8_t VrxAddress = 0;
    std::optional<uint16_t> ReductionConst;  // ml; none while the channel's board is absent
};

struct FlowmeterSettings {
    uint8_t Type = 0;                    // 0 none .. 4 LPGmass
    uint8_t LpgAddress = 0;
    std::optional<int8_t> TempOffset;    // °C; a crypto flowmeter's only
};

// A display board's colour correction and a display device's temperature offset.
struct DisplaySettings {
    std::optional<std::array<uint8_t, kTabloColourCorrectionSize>> ColourCorrection;  // boards 0..3
    std::optional<int8_t> TempOffset;  // °C
};

// The two peripherals behind the controller; absent when the controller cannot reach them.
struct SoundGenSettings {
    uint8_t Address = 0;
    std::optional<uint8_t> Volume;  // none while the generator is off or starting
};
struct ValveControllerSettings {
    uint8_t Address = 0;
    uint8_t Divisor = 0;   // bit rate = 921600 / (divisor + 1)
    uint8_t Opening = 0;   // % during flow reduction
};

struct SettingsSnapshot {
    SettingsIdentity Identity;
    int ChannelCount = 0;    // logical channels, as the poll walks them
    std::string ReadAt;      // local date and time of the read, "dd.mm.yyyy hh:mm:ss"

    std::array<uint8_t, kTrkCfgSize> TrkCfg{};        // verbatim, the bits no window shows too
    std::array<uint8_t, kSubTrkCfgSize> SubTrkCfg{};  // addresses and divisor are written back
    int ProtocolType = -1;   // 0 AUTO, 1 ПК, 2 VRX 2.0; -1 when the identification has none

    std::optional<int8_t> TimeZone;    // quarter hours; none at 4800 bit/s (no clock commands)
    uint8_t SummerTimeMode = 0;

    uint8_t FlowmeterTimeout = 0;      // s
    std::optional<std::array<uint8_t, kFlowmeterParamsSize>> FlowmeterParams;  // older firmware: none
    bool FlowmeterParamsFull = false;  // the last two parameters were carried too
    uint16_t TabloCutOff = 0;          // ml
    uint8_t NightBright = 0;           // %
    uint8_t TabloTestStep = 0;         // tens of ms

    std::vector<ChannelSettings> Channels;      // ChannelCount entries
    std::vector<FlowmeterSettings> Flowmeters;  // the controller's own channels only (at most 5)
    std::array<DisplaySettings, kDisplayDeviceCount> Displays{};
    std::optional<SoundGenSettings> SoundGen;
    std::optional<ValveControllerSettings> ValveController;

    // Read-only, for a commissioning record: counters and totals as the windows show them.
    // Kept in the file for a person to see; never compared or written.
    struct Counter {
        std::string Group, Caption, Text;
    };
    std::vector<Counter> Counters;

    // The keys a settings file named: it holds only these. None for a snapshot read from a
    // controller, which holds every setting it has.
    std::optional<std::vector<std::string>> FileKeys;
};

// One setting as the windows show it: the group they show it under, their caption and text.
// Key names the setting for the comparison and the restore ("channel.2.price").
struct SettingRow {
    std::string Group;
    std::string Caption;
    std::string Text;
    std::string Key;
};

// Every setting the snapshot holds, in the windows' order: configuration, sub-controllers,
// protocol, time, controller parameters, channels, flowmeters, display boards, peripherals.
std::vector<SettingRow> Rows(const SettingsSnapshot& snapshot);

struct SettingDifference {
    std::string Group;
    std::string Caption;
    std::string ControllerText;  // empty when the controller has no such setting now
    std::string FileText;
    std::string Key;
};

// What the file sets otherwise than the controller has it, in the windows' order. A setting
// the file does not hold is no difference.
std::vector<SettingDifference> DiffSettings(const SettingsSnapshot& controller, const SettingsSnapshot& file);

// Sets one setting from the text a reader sees (as Rows gives it). Empty when taken, else why
// not, and the snapshot is unchanged.
std::string SetSettingText(SettingsSnapshot& snapshot, const std::string& key, const std::string& text);

// What the worker's record holds after the settings were read into it (ReadSettings).
SettingsSnapshot SnapshotFromState(const TDeviceState& state);
