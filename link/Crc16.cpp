#include "link/Crc16.h"

#include <array>

namespace {

// One table entry per byte value: the register after eight shift/XOR steps.
constexpr std::array<uint16_t, 256> MakeTable() {
    std::array<uint16_t, 256> table{};
    for (int value = 0; value < 256; ++value) {
        uint16_t reg = static_cast<uint16_t>(value);
        for (int bit = 0; bit < 8; ++bit)
            reg = (reg & 1) ? static_cast<uint16_t>((reg >> 1) ^ 0xA001) : static_cast<uint16_t>(reg >> 1);
        table[value] = reg;
    }
    return table;
}

constexpr auto kTable = MakeTable();

}  // namespace

uint16_t Crc16(const uint8_t* data, size_t length, uint16_t crc) {
    for (size_t i = 0; i < length; ++i)
        crc = static_cast<uint16_t>((crc >> 8) ^ kTable[(crc ^ data[i]) & 0xFF]);
    return crc;
}
