#include "commands/BlockFields.h"

#include "engine/TextHelpers.h"

uint64_t BlockFieldValue(std::span<const uint8_t> block, const BlockField& field) {
    uint64_t value = 0;
    for (int i = field.Width - 1; i >= 0; --i) value = value << 8 | block[field.Offset + i];
    return value;
}

std::string ScaledText(uint64_t value, uint32_t divisor) {
    // Totals are unsigned 64-bit: a double keeps them positive, if not to the last millilitre.
    if (divisor == 1) return std::to_string(value);
    return RealText(static_cast<double>(value) / divisor);
}

std::string BlockFieldText(std::span<const uint8_t> block, const BlockField& field) {
    return ScaledText(BlockFieldValue(block, field), field.Divisor);
}
