#pragma once
// The controller's clock: reading it on every pass (and checking it against the PC's
// clock), writing the time and writing the zone with the summer-time mode.
#include <cstdint>

class TComThread;
class IConfigView;

void ReadTime(TComThread& w);
void WriteTime(TComThread& w);      // sends the staged UtcTime
void WriteTimeZone(TComThread& w);  // sends the staged TimeZone and SummerTimeMode

// Fills the configuration window's time group from a clock reading.
void ShowControllerClock(IConfigView& view, uint32_t utc, int8_t zoneQuarters, uint8_t summerMode);
