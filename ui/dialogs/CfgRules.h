#pragma once
// Rules of the configuration window, free of widgets: conflict checks of the channel
// layout, the checks of typed values and their messages, and the remote-initialisation code.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/ConfigControls.h"
#include "engine/DeviceState.h"

using ChannelItems = std::array<int, CfgChannels>;  // a combo's item index per channel row
using ChannelMarks = std::array<bool, CfgChannels>; // red per channel row

// Hose sets: two active channels may not share a hose, and an active channel needs a set.
struct HoseSetCheck {
    bool CountValid = false;    // NumberOfChannelsCombo normal, else red
    bool Applies = false;       // false: hose combos and the write button keep their state
    ChannelMarks Red{};
    bool WriteEnabled = false;
};
HoseSetCheck CheckHoseSets(int channelCountIndex, const ChannelItems& hoseSet);

// Power outputs: no output drives two things, but channels may share a pump output.
struct PowerOutputCheck {
    bool CountValid = false;
    bool Recolour = false;      // false: the output combos keep their colours
    ChannelMarks SmallRed{}, LargeRed{}, PumpRed{};
    bool WriteEnabled = false;
};
PowerOutputCheck CheckPowerOutputs(int channelCountIndex, const ChannelItems& smallValve,
                                   const ChannelItems& largeValve, const ChannelItems& pump);

// A typed value: what to stage, or the message for status-bar panel 4.
template <typename T>
struct Checked {
    std::optional<T> Value;
    std::string Error;
};

Checked<uint32_t> NightBrightToWrite(std::string_view text);

struct SearchRange {
    uint8_t From = 1, To = 1;
};
Checked<SearchRange> SearchRangeToStage(std::string_view from, std::string_view to);

struct ZoneSetting {
    int8_t ZoneQuarters = 0;
    uint8_t SummerMode = 0;
};
// A combo with nothing selected stages nothing: there is no zone to put in its place.
Checked<ZoneSetting> TimeZoneToWrite(int zoneItem, int shiftItem);

// The UTC time typed into CurTimeUTCEdit.
Checked<uint32_t> UtcTimeToWrite(const std::string& text);

// The remote-initialisation operation code typed into SecOpCodeEdit.
struct RemoteInitCode {
    bool Valid = false;       // 21 digits: it may be sent, whatever its type digit
    std::string Label;        // SecOpCodeLabel
    std::array<uint8_t, kRemoteInitOperationSize> Record{};  // type, four u16 groups
};
RemoteInitCode ParseRemoteInitCode(std::string_view text);

// The clock commands exist only in the main framing, not on the VRX 2.0 line.
bool TimeGroupEnabled(int baudRate);
