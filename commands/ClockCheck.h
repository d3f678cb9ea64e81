#pragma once
// Comparing the controller's clock with the PC's: the rules behind TimeErrCode.
// Pure functions plus the program-wide memory of the last accepted check.
#include <cstdint>

// Clock fault codes shown in the window title.
enum TimeErrorCode : int {
    TimeOk = 0,
    TimeDiffers = 1,
    TimeZoneDiffers = 2,
    ClockStands = 3,
};

// What the previous accepted checks saw; lives for the whole program run,
// across workers, so a standing clock is noticed between two poll runs too.
struct ClockCheckMemory {
    uint32_t lastCheckPcTime = 0;
    uint32_t lastControllerLocal = 0;
};
extern ClockCheckMemory ClockCheckHistory;

// Seconds the controller's clock and the PC's may differ before it counts as wrong.
inline constexpr uint32_t ClockTolerance = 180;
// At most one standing-clock check within this many seconds of PC time.
inline constexpr uint32_t ClockCheckInterval = 5;

// Local time the controller keeps: UTC + zone quarter hours; only mode 2 (summer
// time always) adds an hour, automatic switching adds nothing here.
uint32_t ControllerLocalTime(uint32_t utc, int8_t zoneQuarters, uint8_t summerMode);

// Item of the whole-hour zone list (0..+12) a zone selects, -1 for none.
int TimeZoneItem(int8_t zoneQuarters);
// Item of the summer-time list a mode selects, -1 for none.
int SummerModeItem(uint8_t summerMode);

// Runs one clock check and returns the new TimeErrCode (previousCode when the
// check is skipped because the last one is younger than ClockCheckInterval).
int CheckControllerClock(ClockCheckMemory& memory, int pcZoneHours, uint32_t pcTime,
                         int8_t zoneQuarters, uint32_t controllerLocal, int previousCode);

// The PC's clock, replaceable so tests can stand it still.
struct PcClock {
    virtual ~PcClock() = default;
    // Local date and time as seconds since 2000-01-01 00:00:00.
    virtual uint32_t LocalSeconds() = 0;
    // Standard-time offset east of UTC in whole hours; 0 when negative or above 12.
    virtual int ZoneHours() = 0;
    // UTC as seconds since 2000-01-01 00:00:00: local time less the standard offset would be
    // an hour off while summer time runs.
    virtual uint32_t UtcSeconds() = 0;
};
PcClock& CurrentPcClock();
// Installs a clock for tests; nullptr restores the system clock.
void SetPcClock(PcClock* clock);

// Standard-time hours east of UTC from a bias in seconds west of UTC (the C
// library's `timezone`), truncated toward zero; out-of-range counts as 0.
int ZoneHoursFromBias(long secondsWest);
