#include "ui/dialogs/TabloRules.h"

#include "commands/NumberText.h"

namespace {

constexpr int kDeviceColumns = 6;

constexpr ViewColumn kColumns[] = {
    {"Параметр", 140}, {"Табло 1", 70},      {"Табло 2", 70},      {"Табло 3", 70},
    {"Табло 4", 70},   {"Клавиатура 5", 90}, {"Клавиатура 6", 90},
};

constexpr int kMainGroup = 0, kColourGroup = 1;
constexpr ViewGroup kGroups[] = {{kMainGroup, "Основное"}, {kColourGroup, "Корректировка цвета"}};

constexpr ViewRow kRows[] = {
    {kMainGroup, "Тип", nullptr},
    {kMainGroup, "Версия прошивки", nullptr},
    {kMainGroup, "Дата прошивки", nullptr},
    {kMainGroup, "Температура", nullptr},
    {kMainGroup, "Смещение температуры", nullptr},
    {kColourGroup, "Коэф R", nullptr},
    {kColourGroup, "Коэф G", nullptr},
    {kColourGroup, "Коэф B", nullptr},
    {kColourGroup, "Смещ R", nullptr},
    {kColourGroup, "Смещ G", nullptr},
    {kColourGroup, "Смещ B", nullptr},
};

constexpr int kFirstColourOffset = TabloRow::FirstColour + 3;  // rows 8..10 hold offsets
constexpr int kNoOffsetValue = -128;

bool IsColourRow(int row) { return row >= TabloRow::FirstColour && row <= TabloRow::LastColour; }

}  // namespace

// Cells are padded per row by TabloCellCount.
const ViewCatalog kTabloCatalog{kColumns, kGroups, kRows, 0};

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
