#include "link/UserFormats.h"

#include <clocale>
#include <langinfo.h>

namespace {

UserFormats& Current() {
    static UserFormats formats;
    return formats;
}

std::string NonEmptyOr(const char* value, const std::string& fallback) {
    return value && *value ? std::string(value) : fallback;
}

std::string Strftime(const std::string& pattern, const std::tm& t) {
    char text[256];
    const size_t n = std::strftime(text, sizeof text, pattern.c_str(), &t);
    return std::string(text, n);
}

}  // namespace

UserFormats ReadLocaleFormats() {
    const UserFormats defaults;
    UserFormats formats;
    formats.ShortDate = NonEmptyOr(nl_langinfo(D_FMT), defaults.ShortDate);
    formats.LongTime = NonEmptyOr(nl_langinfo(T_FMT), defaults.LongTime);
    const std::lconv* numeric = std::localeconv();
    formats.DecimalSeparator = NonEmptyOr(numeric ? numeric->decimal_point : nullptr, defaults.DecimalSeparator);
    return formats;
}

void LoadUserFormatsFromSystem() {
    std::setlocale(LC_ALL, "");
    SetUserFormats(ReadLocaleFormats());
    std::setlocale(LC_NUMERIC, "C");
}

const UserFormats& CurrentUserFormats() { return Current(); }

void SetUserFormats(const UserFormats& formats) { Current() = formats; }

std::string UserDateText(const std::tm& t) { return Strftime(Current().ShortDate, t); }

std::string UserTimeText(const std::tm& t) { return Strftime(Current().LongTime, t); }
