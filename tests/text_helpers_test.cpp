#include "engine/TextHelpers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <ctime>
#include <string>

#include "engine/DeviceTypes.h"
#include "link/UserFormats.h"

namespace {

// Seconds from the Unix epoch to 2000-01-01 00:00:00 UTC.
constexpr time_t kEpoch2000 = 946684800;

// Sets the user's formats for one test and restores the previous ones.
class ScopedFormats {
public:
    explicit ScopedFormats(const std::string& separator) : saved_(CurrentUserFormats()) {
        UserFormats f = saved_;
        f.DecimalSeparator = separator;
        SetUserFormats(f);
    }
    explicit ScopedFormats(const UserFormats& f) : saved_(CurrentUserFormats()) { SetUserFormats(f); }
    ~ScopedFormats() { SetUserFormats(saved_); }

private:
    UserFormats saved_;
};

CalendarRecord Date(int day, int month, int year) {
    CalendarRecord r;
    r.Day = uint8_t(day);
    r.Month = uint8_t(month);
    r.Year = uint8_t(year);
    return r;
}

}  // namespace

TEST(PadNumber, Widths) {
    struct Case { uint32_t v; int width; const char* text; };
    const Case cases[] = {
        {0, 2, "00"}, {7, 2, "07"}, {2013, 4, "2013"}, {123, 2, "123"},
        {5, 1, "5"}, {5, 0, "5"}, {5, -3, "5"}, {0, 1, "0"},
        {42, 10, "0000000042"}, {42, 15, "0000000042"},
        {4294967295u, 12, "4294967295"}, {4294967295u, 3, "4294967295"},
    };
    for (const auto& c : cases) EXPECT_EQ(PadNumber(c.v, c.width), c.text) << c.v << " width " << c.width;
    EXPECT_EQ(UnsignedText(4294967295u), "4294967295");
}

TEST(Calendar, DayNumbers) {
    struct Case { int day, month, year; int32_t number; };
    const Case cases[] = {
        {1, 1, 0, 0}, {29, 2, 0, 59}, {1, 3, 0, 60}, {31, 12, 0, 365},
        {1, 1, 1, 366}, {1, 3, 1, 425}, {29, 2, 4, 1520}, {1, 3, 4, 1521},
        {31, 12, 99, 36524},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DayNumber(Date(c.day, c.month, c.year)), c.number) << c.day << "." << c.month << "." << c.year;
}

TEST(Calendar, MonthsOutOfRangeReadNothingBeyondTheTable) {
    EXPECT_EQ(DayNumber(Date(1, 13, 0)), DayNumber(Date(31, 12, 0)) + 1);
    EXPECT_EQ(DayNumber(Date(1, 255, 0)), DayNumber(Date(1, 13, 0)));
    EXPECT_EQ(DayNumber(Date(1, 0, 0)), 0);
}

// Every day of the century against the C library's own calendar.
TEST(Calendar, AgreesWithTheSystemCalendarOnEveryDayTo2099) {
    for (uint32_t day = 0; day <= 36524; ++day) {
        const uint32_t s = day * 86400 + 13 * 3600 + 14 * 60 + 15;
        const time_t unix = kEpoch2000 + time_t(s);
        std::tm t{};
        gmtime_r(&unix, &t);
        const CalendarRecord r = SecondsToDateTime(s);
        const CalendarRecord expected{15, 14, 13, uint8_t(t.tm_mday), uint8_t(t.tm_mon + 1),
                                      uint8_t(t.tm_year - 100), uint8_t(t.tm_wday == 0 ? 7 : t.tm_wday)};
        ASSERT_EQ(r, expected) << "day " << day;
        ASSERT_EQ(DayNumber(r), int32_t(day));
        ASSERT_EQ(DateTimeToSeconds(r), s);
    }
}

TEST(Calendar, TopOfTheCounterStaysInRange) {
    const CalendarRecord r = SecondsToDateTime(4294967295u);
    EXPECT_EQ(r.Year, 136);  // 2136-02-06: a day behind the real calendar, which skips 2100-02-29
    EXPECT_EQ(r.Month, 2);
    EXPECT_EQ(r.Day, 6);
    EXPECT_EQ(TimeText(4294967295u), "06:28:15");
}

TEST(DateTimeTexts, Rows) {
    struct Case { uint32_t s; const char* date; const char* time; };
    const Case cases[] = {
        {0, "01.01.2000", "00:00:00"},
        {86399, "01.01.2000", "23:59:59"},
        {86400, "02.01.2000", "00:00:00"},
        {59 * 86400, "29.02.2000", "00:00:00"},
        {1520 * 86400 + 3723, "29.02.2004", "01:02:03"},
        {425 * 86400, "01.03.2001", "00:00:00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DateText(c.s), c.date) << c.s;
        EXPECT_EQ(TimeText(c.s), c.time) << c.s;
        EXPECT_EQ(DateTimeText(c.s), std::string(" ") + c.date + " " + c.time) << c.s;
    }
    EXPECT_EQ(SecondsToDateTime(0).Weekday, 6);
    EXPECT_EQ(SecondsToDateTime(86400).Weekday, 7);
    EXPECT_EQ(SecondsToDateTime(2 * 86400).Weekday, 1);
}

TEST(TimeZoneText, Rows) {
    struct Case { int8_t quarters; const char* text; };
    const Case cases[] = {
        {12, "+3"}, {14, "+3:30"}, {0, "0"}, {-8, "-2"}, {1, "+0:15"}, {3, "+0:45"},
        {48, "+12"}, {127, "+31:45"}, {-1, "-0:15"}, {-14, "-3:30"}, {-128, "-32"},
    };
    for (const auto& c : cases) EXPECT_EQ(TimeZoneText(c.quarters), c.text) << int(c.quarters);
}

TEST(TemperatureText, Rows) {
    struct Case { int8_t c; const char* text; };
    const Case cases[] = {
        {-128, "---"}, {-127, "---"}, {-126, "-126°C"}, {25, "25°C"}, {0, "0°C"}, {-5, "-5°C"}, {127, "127°C"},
    };
    for (const auto& c : cases) EXPECT_EQ(TemperatureText(c.c), c.text) << int(c.c);
}

TEST(FirmwareText, Rows) {
    struct Case { uint8_t fw[5]; const char* version; const char* date; const char* whole; };
    const Case cases[] = {
        {{5, 2, 1, 2, 13}, "v2.5", "01.02.2013", "v2.5 от 01.02.2013"},
        {{0, 0, 0, 0, 0}, "---", "---", "--- от ---"},
        {{0, 1, 0, 0, 0}, "v1.0", "---", "v1.0 от ---"},
        {{12, 0, 31, 12, 99}, "v0.12", "31.12.2099", "v0.12 от 31.12.2099"},
        {{255, 255, 0, 0, 1}, "v255.255", "00.00.2001", "v255.255 от 00.00.2001"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(VersionText(c.fw), c.version);
        EXPECT_EQ(BuildDateText(c.fw), c.date);
        EXPECT_EQ(FirmwareText(c.fw), c.whole);
    }
}

TEST(RealText, ShortestFormWithEitherSeparator) {
    struct Case { double v; const char* point; const char* comma; };
    const Case cases[] = {
        {4550 * 0.01, "45.5", "45,5"},
        {4500 * 0.01, "45", "45"},
        {4599 * 0.01, "45.99", "45,99"},
        {12345 / 100.0, "123.45", "123,45"},
        {1 / 1000.0, "0.001", "0,001"},
        {-0.0, "0", "0"},
        {-2.5, "-2.5", "-2,5"},
        {1 / 3.0, "0.333333333333333", "0,333333333333333"},
        {4294967295 / 1000.0, "4294967.295", "4294967,295"},
        {18446744073709551615.0 / 1000, "1.84467440737096e+16", "1,84467440737096e+16"},
    };
    for (const auto& c : cases) {
        {
            ScopedFormats point(".");
            EXPECT_EQ(RealText(c.v), c.point);
        }
        ScopedFormats comma(",");
        EXPECT_EQ(RealText(c.v), c.comma);
    }
}

TEST(RealText, FixedDecimals) {
    ScopedFormats comma(",");
    EXPECT_EQ(FixedText(0.7891, 3), "0,789");
    EXPECT_EQ(FixedText(-12.5, 3), "-12,500");
    EXPECT_EQ(FixedText(3, 0), "3");
}

TEST(UserFormats, DatesAndTimesFollowTheChosenPatterns) {
    UserFormats f;
    f.ShortDate = "%d.%m.%Y";
    f.LongTime = "%H:%M:%S";
    ScopedFormats scope(f);
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 9;
    t.tm_hour = 8;
    t.tm_min = 5;
    t.tm_sec = 3;
    EXPECT_EQ(UserDateText(t), "09.12.2026");
    EXPECT_EQ(UserTimeText(t), "08:05:03");
}

TEST(UserFormats, ReadFromTheLocaleInForce) {
    std::setlocale(LC_ALL, "C");
    const UserFormats c = ReadLocaleFormats();
    EXPECT_EQ(c.ShortDate, "%m/%d/%y");
    EXPECT_EQ(c.LongTime, "%H:%M:%S");
    EXPECT_EQ(c.DecimalSeparator, ".");
    if (!std::setlocale(LC_ALL, "ru_RU.UTF-8")) GTEST_SKIP() << "no Russian locale installed";
    const UserFormats ru = ReadLocaleFormats();
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(ru.ShortDate, "%d.%m.%Y");
    EXPECT_EQ(ru.DecimalSeparator, ",");
}

TEST(DeviceTypeText, Rows) {
    struct Case { uint16_t type; const char* text; };
    const Case cases[] = {
        {33, "5-канальная ТРК"},
        {0x8000 | 33, "5-канальная ТРК (Загрузчик)"},
        {2, "Бегущая строка Stat"},
        {39, "Контроллер пропорциональных клапанов"},
        {40, "Неизвестное устройство 40"},
        {12, "Неизвестное устройство 12"},
        {0x8000 | 40, "Неизвестное устройство 40 (Загрузчик)"},
        {0xFFFF, "Неизвестное устройство 32767 (Загрузчик)"},
    };
    for (const auto& c : cases) EXPECT_EQ(DeviceTypeText(c.type), c.text) << c.type;
    for (uint16_t own : {0, 1, 7, 8, 25, 26, 27, 29, 34, 35})
        EXPECT_EQ(DeviceTypeText(own).find("Неизвестное"), std::string::npos) << own;
}
