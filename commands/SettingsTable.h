#pragma once
// The one table of settings behind the snapshot's rows, its file, its comparison and its
// restore: per setting its key, where the windows show it, its text both ways and the write
// that carries it to the controller.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "commands/SettingsSnapshot.h"

// The writes of a restore, in the order they are sent: the configuration page first, as the
// prices (whole units or kopecks) and the channels' settings depend on it.
enum class SettingWrite {
    TrkCfg,
    SubTrkCfg,
    Protocol,
    TimeZone,
    FlowmeterParams,
    TabloCutOff,
    NightBright,
    TabloTestStep,
    Price,
    PumpRampUp,
    FuelName,
    NozzleColours,
    VrxAddress,
    ReductionConst,
    FlowmeterType,
    FlowmeterTempOffset,
    ColourCorrection,
    TabloTempOffset,
    SoundGenVolume,   // before the address: it goes to the generator where it is now
    SoundGenAddress,
    ValveController,  // address, bit rate and opening in one write
};

struct SettingEntry {
    std::string Key, Group, Caption;
    // The text as the windows show it; nothing when the snapshot holds no such setting.
    std::function<std::optional<std::string>(const SettingsSnapshot&)> Get;
    // Takes a text as Get gives it; returns why not (and changes nothing), else empty.
    std::function<std::string(SettingsSnapshot&, const std::string&)> Set;
    SettingWrite Write;
    int Index = 0;  // channel, flowmeter or display device of the write; 0 for the others
    // Why the tool's own rules would not write the value the snapshot holds, or empty. A file
    // keeps a value as read even beyond them; only writing it is refused.
    std::function<std::string(const SettingsSnapshot&)> WriteCheck;
};

// Every setting a controller with this many channels can have, in the windows' order.
const std::vector<SettingEntry>& SettingTable(int channelCount);
// The entry of a key, or nullptr.
const SettingEntry* FindSetting(const std::string& key, int channelCount);

// A fuel name as the display can show it (characters it has no code for become blanks),
// without the blanks that fill it to its length.
std::string NormalFuelName(const std::string& text);
