#pragma once
// Fuel names travel as seven-segment display codes, one byte per character position.
// The one table of codes, and both directions of the conversion.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

constexpr int FuelNameLength = 14;

struct DisplayCode {
    std::string_view Char;  // UTF-8, one character
    uint8_t Code;
};

// Searched in this order: "5" comes before "S", so 0x6D reads as "5".
std::span<const DisplayCode> DisplayCodeTable();

// Always 14 characters; a code without an entry reads as a blank.
std::string DecodeFuelName(std::span<const uint8_t, FuelNameLength> codes);

// The first 14 characters of a UTF-8 text; a character without a code is sent as 0x20
// (not as the blank's 0x00), positions beyond the text stay 0x00.
void EncodeFuelName(std::string_view text, std::span<uint8_t, FuelNameLength> codes);
