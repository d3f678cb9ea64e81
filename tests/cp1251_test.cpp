#include "link/Cp1251.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/HexBytes.h"

namespace {

std::string Hex(const std::string& s) { return ToHex(reinterpret_cast<const uint8_t*>(s.data()), s.size()); }

std::string Bytes(std::string_view hex) {
    const auto v = FromHex(hex);
    return std::string(v.begin(), v.end());
}

const char kUpper[] = "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ";
const char kLower[] = "абвгдежзийклмнопрстуфхцчшщъыьэюя";

std::string ByteRun(int first, int count) {
    std::string s;
    for (int i = 0; i < count; ++i) s += char(first + i);
    return s;
}

}  // namespace

TEST(Cp1251, EveryCyrillicLetterBothWays) {
    EXPECT_EQ(Hex(Utf8ToCp1251(kUpper)), Hex(ByteRun(0xC0, 32)));
    EXPECT_EQ(Hex(Utf8ToCp1251(kLower)), Hex(ByteRun(0xE0, 32)));
    EXPECT_EQ(Cp1251ToUtf8(ByteRun(0xC0, 32)), kUpper);
    EXPECT_EQ(Cp1251ToUtf8(ByteRun(0xE0, 32)), kLower);
}

TEST(Cp1251, SignsOutsideTheAlphabet) {
    struct Case { const char* utf8; const char* hex; };
    const Case cases[] = {
        {"Ё", "A8"}, {"ё", "B8"}, {"°", "B0"}, {"№", "B9"},
        {"Ђ", "80"}, {"€", "88"}, {"—", "97"}, {"«»", "AB BB"},
        {"Ґґ", "A5 B4"}, {"Її", "AF BF"}, {"\xC2\xA0", "A0"}, {"™", "99"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Hex(Utf8ToCp1251(c.utf8)), c.hex) << c.utf8;
        EXPECT_EQ(Cp1251ToUtf8(Bytes(c.hex)), c.utf8) << c.hex;
    }
}

TEST(Cp1251, MasculineOrdinalIsStoredAsDegree) {
    EXPECT_EQ(Hex(Utf8ToCp1251("(ºС)")), "28 B0 D1 29");
    EXPECT_EQ(Cp1251ToUtf8(Bytes("28 B0 D1 29")), "(°С)");
}

TEST(Cp1251, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        if (b != 0x98) all += char(b);
    EXPECT_EQ(Hex(Utf8ToCp1251(Cp1251ToUtf8(all))), Hex(all));
}

TEST(Cp1251, TextsMixingLatinAndCyrillicKeepEveryLetter) {
    // The 'c' in this text is Latin on purpose.
    const std::string text = "Неизвестный код неиcправности 7\r\n";
    const std::string bytes = Utf8ToCp1251(text);
    EXPECT_EQ(bytes.size(), 33u);
    EXPECT_EQ(bytes.substr(19, 1), "c");
    EXPECT_EQ(Cp1251ToUtf8(bytes), text);
}

TEST(Cp1251, WhatHasNoPlaceBecomesQuestionMark) {
    struct Case { std::string in; std::string out; };
    const Case toCp[] = {
        {"中", "?"},                          // three bytes, not in the code page
        {"a\xF0\x9F\x98\x80z", "a?z"},      // four bytes
        {"\xD0", "?"},                       // sequence cut at the end
        {"\xD0" "A", "?A"},                  // lead byte without its tail
        {"\x80\xBF", "??"},                  // stray continuation bytes
        {"\xC0\x80", "??"},                  // overlong encoding of NUL
        {"\xED\xA0\x80", "???"},            // surrogate half
        {"\xFF", "?"},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
        {"", ""},
    };
    for (const auto& c : toCp) EXPECT_EQ(Hex(Utf8ToCp1251(c.in)), Hex(c.out)) << Hex(c.in);
    EXPECT_EQ(Cp1251ToUtf8(Bytes("41 98 42")), "A?B");
}
