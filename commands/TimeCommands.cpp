#include "commands/TimeCommands.h"

#include <ctime>
#include <vector>

#include "link/CommandCodes.h"
#include "commands/ClockCheck.h"
#include "engine/OperationPattern.h"
#include "engine/TextHelpers.h"
#include "link/UserFormats.h"
#include "link/ComPortUnit.h"

namespace {

constexpr int TimeAnswer = 9;
// The VRX 2.0 link runs at this rate and has no clock commands.
constexpr int32_t VrxBitRate = 4800;

constexpr int SecondsPerHour = 3600;
constexpr int DaysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// The parts of a parsed date and time the controller's calendar can hold.
std::optional<uint32_t> SecondsOf(const std::tm& t) {
    int year = t.tm_year + 1900 - 2000;
    int month = t.tm_mon + 1;
    if (year < 0 || year > 99 || month < 1 || month > 12 || t.tm_mday < 1) return std::nullopt;
    bool leap = year % 4 == 0;
    if (t.tm_mday > DaysInMonth[month - 1] || (month == 2 && !leap && t.tm_mday > 28)) return std::nullopt;
    if (t.tm_hour > 23 || t.tm_min > 59 || t.tm_sec > 59) return std::nullopt;
    CalendarRecord r;
    r.Second = uint8_t(t.tm_sec);
    r.Minute = uint8_t(t.tm_min);
    r.Hour = uint8_t(t.tm_hour);
    r.Day = uint8_t(t.tm_mday);
    r.Month = uint8_t(month);
    r.Year = uint8_t(year);
    return DateTimeToSeconds(r);
}

// Parses the whole text with one strptime pattern; blanks around it do not matter.
std::optional<uint32_t> ParseWith(const std::string& text, const std::string& pattern) {
    std::tm t{};
    const char* end = strptime(text.c_str(), pattern.c_str(), &t);
    if (!end) return std::nullopt;
    while (*end == ' ') ++end;
    return *end ? std::nullopt : SecondsOf(t);
}

}  // namespace

std::optional<uint32_t> ParseTimeStampText(const std::string& text) {
    // Our own form first, so a reading copied back is always understood whatever the locale.
    const UserFormats& user = CurrentUserFormats();
    for (const std::string& pattern : {std::string(" %d.%m.%Y %H:%M:%S"), user.ShortDate + " " + user.LongTime})
        if (auto seconds = ParseWith(text, pattern)) return seconds;
    return std::nullopt;
}

int8_t TimeZoneForItem(int item) { return static_cast<int8_t>(item * 4); }

PcTimeGroup PcTimeForGroup(PcClock& pc) {
    uint32_t local = pc.LocalSeconds();
    int zone = pc.ZoneHours();
    return {zone, DateTimeText(local), DateTimeText(local - static_cast<uint32_t>(zone * SecondsPerHour))};
}

void ShowControllerClock(IConfigView& view, uint32_t utc, int8_t zoneQuarters, uint8_t summerMode) {
    view.SetCurTimeUTCText(DateTimeText(utc));
    view.SetCurTimeLocalText(DateTimeText(ControllerLocalTime(utc, zoneQuarters, summerMode)));
    view.SetTimeZoneIndex(TimeZoneItem(zoneQuarters));
    view.SetTimeShiftIndex(SummerModeItem(summerMode));
}

void ReadTime(TComThread& w) {
    if (w.BitRate == VrxBitRate) return;

    TRequest request{w.DeviceAddress, Cmd::ReadTime};
    bool accepted = false;
    RunExchange(w, ReadTime, request, 2, {.Status = &w.PollStatusText, .Needed = TimeAnswer},
        [&](const uint8_t* answer, int length) {
            // A longer answer is as suspect as a shorter one: the layout is fixed.
            if (length != TimeAnswer) {
                ComPort.ReportWrongLength(TimeAnswer);
                return;
            }
            w.UtcTime = GetU32(answer + 3);
            w.TimeZone = static_cast<int8_t>(answer[7]);
            w.SummerTimeMode = answer[8];
            accepted = true;
        },
        [&] {
            if (!accepted) return;
            // The user may be typing a time to write: leave the group alone then.
            if (!w.Ui.Config->CurTimeUTCEditActive())
                ShowControllerClock(*w.Ui.Config, w.UtcTime, w.TimeZone, w.SummerTimeMode);
            PcClock& pc = CurrentPcClock();
            int& code = w.Ui.Main->State().TimeErrCode;
            code = CheckControllerClock(ClockCheckHistory, pc.ZoneHours(), pc.LocalSeconds(), w.TimeZone,
                                        ControllerLocalTime(w.UtcTime, w.TimeZone, w.SummerTimeMode), code);
        });
}

void WriteTime(TComThread& w) {
    TRequest request{w.DeviceAddress, Cmd::WriteTime};
    PutU32(&request[2], w.UtcTime);
    RunExchange(w, WriteTime, request, 6, {.Status = &w.CommandStatusText});
}

void WriteTimeZone(TComThread& w) {
    TRequest request{w.DeviceAddress, Cmd::WriteTimeZone, static_cast<uint8_t>(w.TimeZone), w.SummerTimeMode};
    RunExchange(w, WriteTimeZone, request, 4, {.Status = &w.CommandStatusText});
}
