#include "cli/CliValues.h"

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
