#pragma once
// A number kept at a fixed offset of a verbatim answer block and the row that shows it.
// Readers describe their blocks as tables of these instead of one line per row.
#include <cstdint>
#include <span>
#include <string>

struct BlockField {
    int Row;
    int Offset;
    int Width;         // bytes, little-endian: 1, 2, 4 or 8
    uint32_t Divisor;  // 1: the number as it stands; else shown as a decimal real value / Divisor
};

// A number as it stands for divisor 1, else as the decimal real value / divisor.
std::string ScaledText(uint64_t value, uint32_t divisor);

// The caller guarantees that the field lies inside the block.
uint64_t BlockFieldValue(std::span<const uint8_t> block, const BlockField& field);
std::string BlockFieldText(std::span<const uint8_t> block, const BlockField& field);
