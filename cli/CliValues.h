#pragma once
// Values given on the command line. Stricter than a window's edit: a script's value is
// taken exactly or refused, never cut to fewer decimals.
#include <optional>
#include <string>
#include <string_view>

// "12", "12.5", "12,50" with at most `decimals` fraction digits, as a whole number of
// 10^-decimals units no larger than `max`.
std::optional<long long> ParseDecimalValue(std::string_view text, int decimals, long long max);

// A whole number of 10^-decimals units with the user's decimal separator: 4294967295, 2 ->
// "42949672,95" under a Russian locale.
std::string FixedText(long long units, int decimals);

// The allowed range of a value as a refusal states it: "Цена: 0,01…42949672,95".
std::string RangeText(std::string_view what, long long low, long long high, int decimals = 0);
