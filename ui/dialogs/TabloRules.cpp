#include "ui/dialogs/TabloRules.h"

#include "commands/NumberText.h"

namespace {

constexpr int kDeviceColumns = 6;

constexpr int kFirstColourOffset = TabloRow::FirstColour + 3;  // rows 8..10 hold offsets
constexpr int kNoOffsetValue = -128;

bool IsColourRow(int row) { return row >= TabloRow::FirstColour && row <= TabloRow::LastColour; }

}  // namespace

int TabloCellCount(int row) {
    if (row >= 0 && row < TabloRow::FirstColour) return kDeviceColumns;
    return IsColourRow(row) ? kDisplayBoardCount : 0;
}

bool TabloCellEditable(int row, int device, bool colourRead) {
    if (IsColourRow(row) && !colourRead) return false;
    return row >= TabloRow::TempOffset && row <= TabloRow::LastColour && device >= 0 && device < TabloCellCount(row);
}

std::optional<uint8_t> TempOffsetToSend(std::string_view typed) {
    const long long value = ParseWholeNumber(typed).value_or(kNoOffsetValue);
    // Beyond a signed byte the controller would get a wrapped value of the other sign.
    if (value <= kNoOffsetValue || value > 127) return std::nullopt;
    return uint8_t(int8_t(value));
}

std::string ApplyColourEdit(ColourCorrection& record, int row, std::string_view typed) {
    if (!IsColourRow(row)) return {};
    const size_t at = size_t(row - TabloRow::FirstColour);
    if (row < kFirstColourOffset) {
        record[at] = CoefficientFromText(typed);
        return CoefficientText(record[at]);
    }
    record[at] = OffsetFromText(typed);
    return OffsetText(record[at]);
}
