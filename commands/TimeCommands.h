#pragma once
// The controller's clock: reading it on every pass (and checking it against the PC's
// clock), writing the time and writing the zone with the summer-time mode.
#include <cstdint>
#include <optional>
#include <string>

class TComThread;
class IConfigView;
struct PcClock;

void ReadTime(TComThread& w);
void WriteTime(TComThread& w);      // sends the staged UtcTime
void WriteTimeZone(TComThread& w);  // sends the staged TimeZone and SummerTimeMode

// Fills the configuration window's time group from a clock reading.
void ShowControllerClock(IConfigView& view, uint32_t utc, int8_t zoneQuarters, uint8_t summerMode);

// --- Rules of the configuration window's time group (the window only maps them onto controls).

// A time typed into CurTimeUTCEdit as seconds since 2000-01-01 00:00:00: the form the
// reader writes there (" dd.mm.yyyy hh:mm:ss") or the user's short date and long time.
// Nothing for text that is no date and time between 2000 and 2099.
std::optional<uint32_t> ParseTimeStampText(const std::string& text);

// Zone to write for an item of the whole-hour zone list.
int8_t TimeZoneForItem(int item);

// What "Текущее время" puts into the time group: the PC's zone and its local and UTC time.
struct PcTimeGroup {
    int zoneItem;
    std::string localText;
    std::string utcText;
};
PcTimeGroup PcTimeForGroup(PcClock& pc);
