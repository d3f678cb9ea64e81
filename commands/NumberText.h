#pragma once
// Whole numbers typed into the windows' edits.
#include <optional>
#include <string_view>

// A decimal integer with an optional sign and blanks around it; anything else is nothing.
std::optional<long long> ParseWholeNumber(std::string_view text);
