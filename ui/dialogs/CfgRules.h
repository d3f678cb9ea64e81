#pragma once
// Rules of the configuration window, free of widgets: the checks of typed values and their
// messages, and the remote-initialisation code. The conflict checks of the channel layout are
// in commands/ConfigChecks, where the command line uses them too.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "commands/ConfigChecks.h"
#include "engine/ConfigControls.h"
#include "engine/DeviceState.h"

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
