// Clock rules: the controller's local time, the zone and mode items, and the check that
// turns a clock reading into TimeErrCode.
#include <gtest/gtest.h>

#include "commands/ClockCheck.h"

namespace {

TEST(ControllerLocalTime, AddsZoneAndOnlyPermanentSummerTime) {
    struct Case { uint32_t utc; int8_t zone; uint8_t mode; uint32_t local; };
    const Case cases[] = {
        {86400, 12, 0, 86400 + 3 * 3600},
        {86400, 12, 1, 86400 + 3 * 3600},      // automatic switching adds nothing here
        {86400, 12, 2, 86400 + 4 * 3600},
        {86400, 14, 0, 86400 + 3 * 3600 + 1800},
        {86400, -4, 0, 86400 - 3600},
        {100, -8, 0, 100u - 7200u},            // wraps like the controller's 32-bit clock
    };
    for (const Case& c : cases)
        EXPECT_EQ(ControllerLocalTime(c.utc, c.zone, c.mode), c.local)
            << c.utc << " zone " << int(c.zone) << " mode " << int(c.mode);
}

TEST(ClockItems, ZoneSelectsWholeHourItemOrNothing) {
    struct Case { int8_t zone; int item; };
    const Case cases[] = {{0, 0}, {12, 3}, {14, 3}, {15, 3}, {48, 12}, {52, -1}, {-4, -1}, {-128, -1}};
    for (const Case& c : cases) EXPECT_EQ(TimeZoneItem(c.zone), c.item) << int(c.zone);
    EXPECT_EQ(SummerModeItem(2), 2);
    EXPECT_EQ(SummerModeItem(3), -1);
}

TEST(ClockItems, PcZoneFromStandardBias) {
    struct Case { long secondsWest; int hours; };
    const Case cases[] = {
        {-3 * 3600, 3}, {0, 0}, {-19800, 5} /* +5:30 truncated */, {5 * 3600, 0} /* west of UTC */,
        {-12 * 3600, 12}, {-13 * 3600, 0}, {-14 * 3600, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ZoneHoursFromBias(c.secondsWest), c.hours) << c.secondsWest;
}

constexpr uint32_t Pc = 850000000;  // some PC time in 2026

TEST(ClockCheck, ZoneAndTimeDifferencesGiveTheirCodes) {
    struct Case { int pcZone; int8_t zone; uint32_t local; int code; };
    const Case cases[] = {
        {3, 8, Pc, TimeZoneDiffers},
        {3, 14, Pc, TimeOk},           // +3:30 counts as +3
        {0, -4, Pc, TimeZoneDiffers},  // a negative zone never matches the PC's
        {3, 12, Pc + 181, TimeDiffers},
        {3, 12, Pc - 181, TimeDiffers},
        {3, 12, Pc + 180, TimeOk},
        {3, 12, Pc - 180, TimeOk},
    };
    for (const Case& c : cases) {
        ClockCheckMemory memory;
        EXPECT_EQ(CheckControllerClock(memory, c.pcZone, Pc, c.zone, c.local, 7), c.code)
            << "zone " << int(c.zone) << " local " << c.local;
    }
}

TEST(ClockCheck, RefusedChecksLeaveTheMemoryAlone) {
    ClockCheckMemory memory;
    EXPECT_EQ(CheckControllerClock(memory, 3, Pc, 12, Pc + 500, 0), TimeDiffers);
    EXPECT_EQ(CheckControllerClock(memory, 2, Pc, 12, Pc, 0), TimeZoneDiffers);
    EXPECT_EQ(memory.lastCheckPcTime, 0u);
    EXPECT_EQ(memory.lastControllerLocal, 0u);
}

TEST(ClockCheck, StandingClockNoticedAtMostEveryFiveSeconds) {
    ClockCheckMemory memory;
    EXPECT_EQ(CheckControllerClock(memory, 3, Pc, 12, Pc, TimeDiffers), TimeOk);
    EXPECT_EQ(memory.lastCheckPcTime, Pc);

    // Within five seconds the earlier verdict stands, whatever the controller shows.
    EXPECT_EQ(CheckControllerClock(memory, 3, Pc + 5, 12, Pc, TimeOk), TimeOk);
    EXPECT_EQ(CheckControllerClock(memory, 3, Pc + 5, 12, Pc, ClockStands), ClockStands);

    // Six seconds on, the same controller time means its clock stands.
    EXPECT_EQ(CheckControllerClock(memory, 3, Pc + 6, 12, Pc, TimeOk), ClockStands);
    // And a running clock clears it again.
    EXPECT_EQ(CheckControllerClock(memory, 3, Pc + 12, 12, Pc + 12, ClockStands), TimeOk);
    EXPECT_EQ(memory.lastControllerLocal, Pc + 12);
}

}  // namespace
