#include "cli/CliValues.h"

#include "link/UserFormats.h"

std::optional<long long> ParseDecimalValue(std::string_view text, int decimals, long long max) {
    long long value = 0;
    int fraction = -1;  // digits after the separator; -1 before it
    bool digits = false;
    for (const char ch : text) {
        if (ch == '.' || ch == ',') {
            if (fraction >= 0) return std::nullopt;
            fraction = 0;
            continue;
        }
        if (ch < '0' || ch > '9') return std::nullopt;
        if (fraction >= 0 && ++fraction > decimals) return std::nullopt;
        value = value * 10 + (ch - '0');
        digits = true;
        if (value > max) return std::nullopt;
    }
    if (!digits) return std::nullopt;
    for (int i = fraction < 0 ? 0 : fraction; i < decimals; ++i) {
        value *= 10;
        if (value > max) return std::nullopt;
    }
    return value;
}

std::string FixedText(long long units, int decimals) {
    std::string digits = std::to_string(units);
    if (decimals <= 0) return digits;
    if (digits.size() <= size_t(decimals)) digits.insert(0, size_t(decimals) + 1 - digits.size(), '0');
    return digits.substr(0, digits.size() - size_t(decimals)) + CurrentUserFormats().DecimalSeparator +
           digits.substr(digits.size() - size_t(decimals));
}

std::string RangeText(std::string_view what, long long low, long long high, int decimals) {
    return std::string(what) + ": " + FixedText(low, decimals) + "…" + FixedText(high, decimals);
}
