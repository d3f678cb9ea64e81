#include "tests/support/HexBytes.h"

#include <cctype>
#include <stdexcept>

std::vector<uint8_t> FromHex(std::string_view hex) {
    std::vector<uint8_t> out;
    int high = -1;
    for (char c : hex) {
        if (std::isspace(static_cast<unsigned char>(c))) continue;
        int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
              : (c >= 'a' && c <= 'f') ? c - 'a' + 10
              : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
        if (v < 0) throw std::invalid_argument("bad hex digit in test vector");
        if (high < 0) { high = v; continue; }
        out.push_back(static_cast<uint8_t>(high * 16 + v));
        high = -1;
    }
    if (high >= 0) throw std::invalid_argument("odd number of hex digits in test vector");
    return out;
}

std::string ToHex(const uint8_t* data, size_t length) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < length; ++i) {
        if (i) out += ' ';
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}
