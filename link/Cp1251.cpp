#include "link/Cp1251.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

namespace {

// Marks the code page's hole (0x98) and broken UTF-8; no real character has it.
constexpr char32_t kNoChar = 0xFFFFFFFF;

// Code points of bytes 0x80..0xBF; 0xC0..0xFF are А..я in order.
constexpr std::array<char32_t, 64> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 0x88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    kNoChar, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 0x98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // 0xA0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // 0xA8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // 0xB0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // 0xB8
};

constexpr char32_t kCyrillicA = 0x0410;
constexpr char32_t kCyrillicYa = 0x044F;
constexpr uint8_t kByteA = 0xC0;
constexpr uint8_t kByteDegree = 0xB0;
// The program's texts write degrees Celsius with the masculine ordinal ("ºС");
// the code page lacks it, so it is stored as the degree sign rather than lost.
constexpr char32_t kMasculineOrdinal = 0x00BA;
// Stands for the hole (0x98) in a name that must go back as it came.
constexpr char32_t kKeptHole = 0xF898;
constexpr uint8_t kHoleByte = 0x98;

char32_t CodePointOfByte(uint8_t b) {
    if (b < 0x80) return b;
    if (b >= kByteA) return kCyrillicA + (b - kByteA);
    return kHighHalf[b - 0x80];
}

// Sorted pairs (code point, byte) for the bytes 0x80..0xBF.
using ReverseTable = std::array<std::pair<char32_t, uint8_t>, 64>;

ReverseTable MakeReverseTable() {
    ReverseTable table{};
    for (size_t i = 0; i < kHighHalf.size(); ++i) table[i] = {kHighHalf[i], uint8_t(0x80 + i)};
    std::sort(table.begin(), table.end());
    return table;
}

char ByteOfCodePoint(char32_t cp) {
    if (cp < 0x80) return char(cp);
    if (cp >= kCyrillicA && cp <= kCyrillicYa) return char(kByteA + (cp - kCyrillicA));
    if (cp == kMasculineOrdinal) return char(kByteDegree);
    if (cp == kKeptHole) return char(kHoleByte);
    static const ReverseTable reverse = MakeReverseTable();
    auto it = std::lower_bound(reverse.begin(), reverse.end(), std::pair<char32_t, uint8_t>{cp, 0});
    if (it != reverse.end() && it->first == cp) return char(it->second);
    return '?';
}

// Reads one UTF-8 sequence at `pos`, advancing it; returns kNoChar for a broken one
// (then exactly one byte is consumed, so the next character still decodes).
char32_t NextCodePoint(std::string_view s, size_t& pos) {
    const uint8_t lead = uint8_t(s[pos]);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    int tail = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) { tail = 1; cp = lead & 0x1F; minimum = 0x80; }
    else if ((lead & 0xF0) == 0xE0) { tail = 2; cp = lead & 0x0F; minimum = 0x800; }
    else if ((lead & 0xF8) == 0xF0) { tail = 3; cp = lead & 0x07; minimum = 0x10000; }
    else { ++pos; return kNoChar; }
    if (pos + tail >= s.size()) {
        ++pos;
        return kNoChar;
    }
    for (int i = 1; i <= tail; ++i) {
        const uint8_t b = uint8_t(s[pos + i]);
        if ((b & 0xC0) != 0x80) {
            ++pos;
            return kNoChar;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return kNoChar;
    }
    pos += tail + 1;
    return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::string Utf8ToCp1251(std::string_view utf8) {
    std::string out;
    AppendAsCp1251(out, utf8);
    return out;
}

void AppendAsCp1251(std::string& out, std::string_view utf8) {
    const auto ascii = std::find_if(utf8.begin(), utf8.end(), [](char c) { return uint8_t(c) >= 0x80; });
    out.append(utf8.begin(), ascii);
    size_t pos = size_t(ascii - utf8.begin());
    if (pos == utf8.size()) return;
    out.reserve(out.size() + utf8.size() - pos);
    while (pos < utf8.size()) {
        const char32_t cp = NextCodePoint(utf8, pos);
        out += cp == kNoChar ? '?' : ByteOfCodePoint(cp);
    }
}

std::string Cp1251ToUtf8(std::string_view cp1251) {
    std::string out;
    out.reserve(cp1251.size() * 2);
    for (char c : cp1251) {
        const char32_t cp = CodePointOfByte(uint8_t(c));
        if (cp == kNoChar) out += '?';
        else AppendUtf8(out, cp);
    }
    return out;
}

std::string Cp1251NameToUtf8(std::string_view cp1251) {
    std::string out;
    out.reserve(cp1251.size() * 2);
    size_t from = 0;
    for (size_t hole = cp1251.find(char(kHoleByte)); hole != std::string_view::npos;
         hole = cp1251.find(char(kHoleByte), from)) {
        out += Cp1251ToUtf8(cp1251.substr(from, hole - from));
        AppendUtf8(out, kKeptHole);
        from = hole + 1;
    }
    return out + Cp1251ToUtf8(cp1251.substr(from));
}
