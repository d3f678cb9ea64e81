#pragma once
// Byte vectors written as hex strings ("01 00 00 20 00 C0"), so a failing test shows bytes.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

std::vector<uint8_t> FromHex(std::string_view hex);
std::string ToHex(const uint8_t* data, size_t length);
inline std::string ToHex(const std::vector<uint8_t>& v) { return ToHex(v.data(), v.size()); }
