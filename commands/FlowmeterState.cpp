#include "commands/FlowmeterState.h"

#include <array>

#include "commands/BlockFields.h"

namespace {

constexpr std::array<const char*, 5> TypeNames = {
    "---", "2х-канальный", "Квадратурный", "Крипто", "LPGmass",
};

constexpr BlockField Fields[] = {
    {0, 0, 4, 1},       // coefficient, pulses per 10 l
    {1, 7, 1, 10},      // supply voltage, tenths of a volt
    {4, 8, 2, 1},       // flow rate, l/min
    {5, 10, 4, 1000},   // poured
    {6, 14, 4, 1000},   // overfill
    {7, 18, 8, 1000},   // total
    {8, 26, 4, 1000},   // overfill total
    {9, 34, 4, 1000},   // manual total
    {10, 30, 4, 1000},  // remote-control total
    {11, 38, 8, 100},   // money total
};

}  // namespace

std::string FlowmeterTypeText(uint8_t type) {
    return type < TypeNames.size() ? TypeNames[type] : std::to_string(type);
}

std::vector<RowText> FlowmeterStateTexts(FlowmeterStateBlock block) {
    std::vector<RowText> texts;
    for (const BlockField& f : Fields) texts.push_back({f.Row, BlockFieldText(block, f)});
    texts.push_back({FlowmeterTypeRow, FlowmeterTypeText(block[FlowmeterStateAt::Type])});
    return texts;
}
