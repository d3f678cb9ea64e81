#pragma once
// What a test's line sees of a request frame it is written: the content the tool framed.
#include <cstddef>
#include <cstdint>
#include <vector>

// Unstuffs a request frame and drops its CRC (the CRC is the codec's business).
std::vector<uint8_t> RequestContent(const uint8_t* frame, size_t length);
