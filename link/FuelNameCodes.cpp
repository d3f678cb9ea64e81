#include "link/FuelNameCodes.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<DisplayCode, 34> Table{{
    {"0", 0x3F}, {"1", 0x06}, {"2", 0x5B}, {"3", 0x4F}, {"4", 0x66}, {"5", 0x6D},
    {"6", 0x7D}, {"7", 0x07}, {"8", 0x7F}, {"9", 0x6F}, {"A", 0x77}, {"b", 0x7C},
    {"C", 0x39}, {"c", 0x58}, {"d", 0x5E}, {"E", 0x79}, {"F", 0x71}, {"G", 0x3D},
    {"H", 0x76}, {"I", 0x30}, {"i", 0x10}, {"L", 0x38}, {"P", 0x73}, {"r", 0x50},
    {"S", 0x6D}, {"t", 0x78}, {"U", 0x3E}, {"y", 0x6E}, {"u", 0x1C}, {"n", 0x54},
    {"o", 0x5C}, {" ", 0x00}, {"П", 0x37}, {"-", 0x40},
}};

constexpr uint8_t UnknownCharCode = 0x20;

// Length of the UTF-8 sequence that starts with byte b; a stray byte counts as one
// character so that broken text still advances.
size_t Utf8SequenceLength(unsigned char b) {
    if (b >= 0xF0 && b < 0xF8) return 4;
    if (b >= 0xE0) return b < 0xF0 ? 3 : 1;
    if (b >= 0xC0) return 2;
    return 1;
}

}  // namespace

std::span<const DisplayCode> DisplayCodeTable() { return Table; }

std::string DecodeFuelName(std::span<const uint8_t, FuelNameLength> codes) {
    std::string text;
    for (uint8_t code : codes) {
        auto hit = std::ranges::find(Table, code, &DisplayCode::Code);
        text += hit != Table.end() ? hit->Char : std::string_view(" ");
    }
    return text;
}

void EncodeFuelName(std::string_view text, std::span<uint8_t, FuelNameLength> codes) {
    std::ranges::fill(codes, 0);
    size_t pos = 0;
    for (int i = 0; i < FuelNameLength && pos < text.size(); ++i) {
        size_t n = std::min(Utf8SequenceLength(static_cast<unsigned char>(text[pos])), text.size() - pos);
        std::string_view ch = text.substr(pos, n);
        pos += n;
        auto hit = std::ranges::find(Table, ch, &DisplayCode::Char);
        codes[i] = hit != Table.end() ? hit->Code : UnknownCharCode;
    }
}
