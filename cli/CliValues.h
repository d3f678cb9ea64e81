#pragma once
// Values given on the command line. Stricter than a window's edit: a script's value is
// taken exactly or refused, never cut to fewer decimals.
#include <optional>
#include <string_view>

// "12", "12.5", "12,50" with at most `decimals` fraction digits, as a whole number of
// 10^-decimals units no larger than `max`.
std::optional<long long> ParseDecimalValue(std::string_view text, int decimals, long long max);
