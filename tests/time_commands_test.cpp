// Clock rules and operations: the controller's local time, the zone and mode items, the
// check that turns a clock reading into TimeErrCode, and the clock commands themselves.
#include <gtest/gtest.h>

#include <optional>

#include "commands/ClockCheck.h"
#include "commands/TimeCommands.h"
#include "engine/TextHelpers.h"
#include "link/UserFormats.h"
#include "tests/support/ScriptedWorker.h"

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

// The clock operations against a scripted controller and a PC clock standing still.
namespace {

class FixedPcClock final : public PcClock {
public:
    uint32_t Now = 0;
    int Zone = 3;
    int Summer = 0;  // hours of summer time in Now
    uint32_t LocalSeconds() override { return Now; }
    int ZoneHours() override { return Zone; }
    uint32_t UtcSeconds() override { return Now - uint32_t((Zone + Summer) * 3600); }
};

class ClockOperations : public ::testing::Test {
protected:
    void SetUp() override {
        SetPcClock(&pc);
        ClockCheckHistory = {};
    }
    void TearDown() override { SetPcClock(nullptr); }
    FixedPcClock pc;
};

// Controller at 86400 s UTC, zone +3, no summer time.
const std::string Day2Answer = "01 08 00 80 51 01 00 0C 00";

TEST_F(ClockOperations, ReadingFillsTheTimeGroupAndChecksTheClock) {
    ScriptedWorker w;
    pc.Now = 86400 + 3 * 3600 + 30;
    EXPECT_EQ(w.Run(ReadTime, Day2Answer), "01 08");
    EXPECT_EQ(w->UtcTime, 86400u);
    EXPECT_EQ(w.Views.CurTimeUTC, " 02.01.2000 00:00:00");
    EXPECT_EQ(w.Views.CurTimeLocal, " 02.01.2000 03:00:00");
    EXPECT_EQ(w.Views.TimeZoneIndex, 3);
    EXPECT_EQ(w.Views.TimeShiftIndex, 0);
    EXPECT_EQ(w.Views.Window.TimeErrCode, TimeOk);
    EXPECT_TRUE(w->PollStatusText.ends_with("OK"));

    // Six seconds later the controller still says the same: its clock stands.
    pc.Now += 6;
    w.Run(ReadTime, Day2Answer);
    EXPECT_EQ(w.Views.Window.TimeErrCode, ClockStands);
}

TEST_F(ClockOperations, TypingUserKeepsTheGroupButTheCheckRuns) {
    ScriptedWorker w;
    w.Views.UtcEditActive = true;
    pc.Zone = 2;
    w.Run(ReadTime, Day2Answer);
    EXPECT_FALSE(w.Views.Called("SetCurTimeUTCText"));
    EXPECT_FALSE(w.Views.Called("SetTimeZoneIndex"));
    EXPECT_EQ(w.Views.Window.TimeErrCode, TimeZoneDiffers);
}

TEST_F(ClockOperations, BadAnswersChangeNothing) {
    struct Case { std::string answer; std::string tail; };
    const Case cases[] = {
        {"01 08 00 80 51 01 00 0C", "Должно быть 9 байт."},
        {"01 08 00 80 51 01 00 0C 00 00", "Неверная длина ответа: 10 байт. Должно быть 9 байт."},
        {"01 08 0D", ""},
    };
    for (const Case& c : cases) {
        ScriptedWorker w;
        w.Views.Window.TimeErrCode = TimeDiffers;
        w.Run(ReadTime, c.answer);
        EXPECT_EQ(w->UtcTime, 0u) << c.answer;
        EXPECT_EQ(w.Views.CurTimeUTC, "") << c.answer;
        EXPECT_EQ(w.Views.Window.TimeErrCode, TimeDiffers) << c.answer;
        EXPECT_TRUE(w->PollStatusText.ends_with(c.tail.empty() ? ComPort.ResultText : c.tail))
            << w->PollStatusText;
    }
}

TEST_F(ClockOperations, VrxLinkHasNoClock) {
    ScriptedWorker w;
    w->BitRate = 4800;
    w->HandOver(ReadTime);
    EXPECT_EQ(w.Run(ReadTime, Day2Answer), "");
    EXPECT_EQ(w->PollStatusText, "");
    EXPECT_EQ(w->Pending(), nullptr);
}

TEST(TimeGroupRules, TypedTimesAreParsedOrRefused) {
    UserFormats us;
    us.ShortDate = "%m/%d/%y";
    us.LongTime = "%H:%M:%S";
    SetUserFormats(us);
    struct Case { std::string text; std::optional<uint32_t> seconds; };
    const Case cases[] = {
        {" 02.01.2000 00:00:00", 86400},          // what the reader wrote there
        {"02.01.2000 00:00:01", 86401},
        {"01/02/00 00:00:00", 86400},             // the user's own short date
        {"29.02.2004 12:00:00", (4 * 365 + 1 + 59) * 86400u + 12 * 3600},
        {"29.02.2001 00:00:00", std::nullopt},
        {"01.01.1999 00:00:00", std::nullopt},
        {"02.01.2000 24:00:00", std::nullopt},
        {"02.01.2000", std::nullopt},
        {"02.01.2000 00:00:00 x", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseTimeStampText(c.text), c.seconds) << c.text;
    // The last second the controller's calendar holds.
    EXPECT_EQ(ParseTimeStampText("31.12.2099 23:59:59"), DateTimeToSeconds({59, 59, 23, 31, 12, 99, 4}));
    SetUserFormats({});
}

TEST_F(ClockOperations, CurrentTimeButtonUsesThePcClock) {
    struct Case { int summer; const char *local, *utc; } cases[] = {
        {0, " 02.01.2000 03:00:00", " 02.01.2000 00:00:00"},
        {1, " 02.01.2000 04:00:00", " 02.01.2000 00:00:00"},  // summer time: UTC is not an hour off
    };
    for (const Case& c : cases) {
        pc.Summer = c.summer;
        pc.Now = 86400 + uint32_t((3 + c.summer) * 3600);
        PcTimeGroup group = PcTimeForGroup(pc);
        EXPECT_EQ(group.zoneItem, 3);
        EXPECT_EQ(group.localText, c.local);
        EXPECT_EQ(group.utcText, c.utc) << c.summer;
        EXPECT_EQ(TimeZoneForItem(group.zoneItem), 12);
    }
}

TEST_F(ClockOperations, WritersSendTheStagedClock) {
    ScriptedWorker w;
    w->UtcTime = 86400;
    EXPECT_EQ(w.Run(WriteTime, "01 09 00"), "01 09 80 51 01 00");
    EXPECT_TRUE(w->CommandStatusText.ends_with("OK"));
    w->TimeZone = -4;
    w->SummerTimeMode = 2;
    EXPECT_EQ(w.Run(WriteTimeZone, "01 0A 12"), "01 0A FC 02");
    EXPECT_TRUE(w->CommandStatusText.ends_with(ComPort.ResultText));
    EXPECT_EQ(ComPort.Error, 18);
}

}  // namespace
