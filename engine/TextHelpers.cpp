#include "engine/TextHelpers.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "link/UserFormats.h"

namespace {

constexpr uint32_t kSecondsPerDay = 86400;
constexpr uint32_t kDaysPerFourYears = 1461;
constexpr int kSaturday = 5;  // 2000-01-01 was a Saturday: (0 + 5) mod 7 + 1 = 6
// February is listed with 29 days; non-leap years take one day off.
constexpr std::array<int, 12> kMonthDays = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

bool IsLeapYear(int year) { return year % 4 == 0; }

uint8_t WeekdayOfDay(uint32_t day) { return uint8_t((day + kSaturday) % 7 + 1); }

// Replaces the '.' of a C-formatted number with the user's separator.
std::string WithUserSeparator(std::string text) {
    const auto dot = text.find('.');
    if (dot != std::string::npos) text.replace(dot, 1, CurrentUserFormats().DecimalSeparator);
    return text;
}

}  // namespace

int32_t DayNumber(const CalendarRecord& date) {
    const int y = date.Year;
    const int m = date.Month;
    int32_t days = y * 365 + (y + 3) / 4;
    for (int i = 0; i < std::min(m - 1, 12); ++i) days += kMonthDays[i];
    if (m > 2 && !IsLeapYear(y)) days -= 1;
    return days + date.Day - 1;
}

uint32_t DateTimeToSeconds(const CalendarRecord& date) {
    return uint32_t(DayNumber(date)) * kSecondsPerDay + date.Hour * 3600u + date.Minute * 60u + date.Second;
}

CalendarRecord SecondsToDateTime(uint32_t s) {
    CalendarRecord r;
    r.Second = uint8_t(s % 60);
    r.Minute = uint8_t(s / 60 % 60);
    r.Hour = uint8_t(s / 3600 % 24);
    const uint32_t day = s / kSecondsPerDay;
    r.Weekday = WeekdayOfDay(day);

    int a = int(day % kDaysPerFourYears);
    int year = int(day / kDaysPerFourYears) * 4;
    // The first year of each block is the leap year (366 days), the others have 365.
    static constexpr std::array<int, 4> kYearStart = {0, 366, 731, 1096};
    int inBlock = 3;
    while (inBlock > 0 && a < kYearStart[inBlock]) --inBlock;
    a -= kYearStart[inBlock];
    year += inBlock;

    int month = 0;
    for (; month < 11; ++month) {
        const int length = (month == 1 && !IsLeapYear(year)) ? 28 : kMonthDays[month];
        if (a < length) break;
        a -= length;
    }
    r.Day = uint8_t(a + 1);
    r.Month = uint8_t(month + 1);
    r.Year = uint8_t(year);
    return r;
}

std::string PadNumber(uint32_t v, int width) {
    std::string digits = std::to_string(v);
    const size_t w = size_t(std::clamp(width, 0, 10));
    if (digits.size() < w) digits.insert(0, w - digits.size(), '0');
    return digits;
}

std::string UnsignedText(uint32_t v) { return std::to_string(v); }

std::string TimeText(uint32_t s) {
    const CalendarRecord r = SecondsToDateTime(s);
    return PadNumber(r.Hour, 2) + ":" + PadNumber(r.Minute, 2) + ":" + PadNumber(r.Second, 2);
}

std::string DateText(uint32_t s) {
    const CalendarRecord r = SecondsToDateTime(s);
    return PadNumber(r.Day, 2) + "." + PadNumber(r.Month, 2) + "." + PadNumber(2000u + r.Year, 4);
}

std::string DateTimeText(uint32_t s) { return " " + DateText(s) + " " + TimeText(s); }

std::string TimeZoneText(int8_t quarters) {
    const int z = quarters;
    const int magnitude = std::abs(z);
    std::string text = z > 0 ? "+" : z < 0 ? "-" : "";
    text += std::to_string(magnitude / 4);
    if (magnitude % 4 != 0) text += ":" + std::to_string(15 * (magnitude % 4));
    return text;
}

std::string TemperatureText(int8_t c) {
    // The controller reports a missing or failed sensor with these two codes.
    if (c == -128 || c == -127) return "---";
    return std::to_string(int(c)) + "°C";
}

std::string VersionText(const uint8_t* fw) {
    const uint8_t minor = fw[0], major = fw[1];
    if (minor == 0 && major == 0) return "---";
    return "v" + std::to_string(major) + "." + std::to_string(minor);
}

std::string BuildDateText(const uint8_t* fw) {
    const uint8_t day = fw[2], month = fw[3], year = fw[4];
    if (day == 0 && month == 0 && year == 0) return "---";
    return PadNumber(day, 2) + "." + PadNumber(month, 2) + ".20" + PadNumber(year, 2);
}

std::string FirmwareText(const uint8_t* fw) { return VersionText(fw) + " от " + BuildDateText(fw); }

std::string RealText(double v) {
    if (v == 0) v = 0;  // no "-0"
    char text[64];
    // to_chars ignores the C locale, so the separator is always ours to choose.
    const auto end = std::to_chars(text, text + sizeof text, v, std::chars_format::general, 15).ptr;
    return WithUserSeparator(std::string(text, end));
}

std::string FixedText(double v, int decimals) {
    char text[400];
    const int precision = std::clamp(decimals, 0, 20);
    const auto result = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, precision);
    if (result.ec != std::errc()) return RealText(v);
    return WithUserSeparator(std::string(text, result.ptr));
}
