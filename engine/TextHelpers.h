#pragma once
// Texts of the controller's numbers: its clock (seconds since 2000-01-01 00:00:00),
// firmware records, temperatures, time zones, and decimal reals in the user's format.
#include <cstdint>
#include <string>

// The unpacked form of a controller time; the year counts from 2000.
struct CalendarRecord {
    uint8_t Second = 0;   // 0..59
    uint8_t Minute = 0;   // 0..59
    uint8_t Hour = 0;     // 0..23
    uint8_t Day = 1;      // 1..31
    uint8_t Month = 1;    // 1..12
    uint8_t Year = 0;     // 0..99
    uint8_t Weekday = 6;  // 1 Monday .. 7 Sunday
    bool operator==(const CalendarRecord&) const = default;
};

// Days since 2000-01-01 (that day is 0); every fourth year from 2000 is a leap year,
// which holds up to 2099. Out-of-range months count only the months that exist.
int32_t DayNumber(const CalendarRecord& date);
uint32_t DateTimeToSeconds(const CalendarRecord& date);
CalendarRecord SecondsToDateTime(uint32_t seconds);

// Decimal text with leading zeros up to `width` digits (at most 10); longer numbers stay whole.
std::string PadNumber(uint32_t v, int width);
std::string UnsignedText(uint32_t v);
std::string TimeText(uint32_t s);      // "hh:mm:ss"
std::string DateText(uint32_t s);      // "dd.mm.yyyy"
std::string DateTimeText(uint32_t s);  // " dd.mm.yyyy hh:mm:ss", with the leading blank
// Quarter hours as "+3", "+3:30", "0", "-2"; a negative zone off the hour as "-0:15".
std::string TimeZoneText(int8_t quarters);
// "---" for the two codes of a missing sensor (-128, -127), else e.g. "-5°C".
std::string TemperatureText(int8_t c);

// `fw` points at a whole 5-byte firmware record: minor, major, day, month, year since 2000.
std::string VersionText(const uint8_t* fw);    // "v2.5", "---" for version 0.0
std::string BuildDateText(const uint8_t* fw);  // "01.02.2013", "---" for an all-zero date
std::string FirmwareText(const uint8_t* fw);   // "v2.5 от 01.02.2013"

// A real in the shortest general form (up to 15 significant digits, no trailing zeros)
// with the user's decimal separator: 45.5 gives "45,5" on a Russian desktop.
std::string RealText(double v);
// A real with exactly `decimals` decimals and the user's decimal separator.
std::string FixedText(double v, int decimals);
