#pragma once
// Conversion between the UTF-8 texts of the program and the Windows-1251 bytes
// that the controller's files and our log files use.
#include <string>
#include <string_view>

// A character without a Windows-1251 byte, or a broken UTF-8 sequence, becomes '?'.
std::string Utf8ToCp1251(std::string_view utf8);
// The same, appended to `out`: plain ASCII goes across as it is, without a look at each byte.
void AppendAsCp1251(std::string& out, std::string_view utf8);
// The one byte without a character (0x98) becomes '?'.
std::string Cp1251ToUtf8(std::string_view cp1251);
// A name the controller gave, to be handed back byte for byte: 0x98 becomes U+F898 (a private-use
// character) instead of '?', and Utf8ToCp1251 turns that back into 0x98.
std::string Cp1251NameToUtf8(std::string_view cp1251);
