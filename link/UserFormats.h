#pragma once
// The user's short date, long time and decimal separator. They are read once from the
// C library locale at start-up, so that every text of the program agrees and a worker
// never depends on a locale switched later; tests set their own values.
#include <ctime>
#include <string>

struct UserFormats {
    std::string ShortDate = "%m/%d/%y";  // strftime pattern that "%x" stands for
    std::string LongTime = "%H:%M:%S";   // strftime pattern that "%X" stands for
    std::string DecimalSeparator = ".";
};

// The formats of the locale in force; call after setlocale(LC_ALL, "").
UserFormats ReadLocaleFormats();

// What main() calls once at start-up (after QApplication, which sets the locale too):
// takes the user's locale, keeps its formats, and puts numeric conversions of the C
// library back to "C", so that the user's separator enters texts only through our
// formatters and no parser or printf elsewhere changes with the desktop's settings.
void LoadUserFormatsFromSystem();

// The formats every text uses. Set them before a worker starts: workers only read them.
const UserFormats& CurrentUserFormats();
void SetUserFormats(const UserFormats& formats);

// `t` in the user's short date / long time format, e.g. "09.12.2026" and "08:05:03".
std::string UserDateText(const std::tm& t);
std::string UserTimeText(const std::tm& t);
