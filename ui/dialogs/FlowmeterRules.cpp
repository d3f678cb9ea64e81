#include "ui/dialogs/FlowmeterRules.h"

#include "commands/FlowmeterTexts.h"
#include "engine/StatusRows.h"

// Each \r stays the two characters backslash and r: that is how the hint has always read.
const char* const kFlowmeterTypeHint =
    "Двухканальный - Счёт в обоих направлениях\\rКвадратурный  - Счёт в одном направлении\\rКрипто        - "
    "Счёт в одном направлении, суммарник в расходомере";

int FlowmeterTypeItem(int type) {
    return type >= 1 && type <= int(kFlowmeterTypeItems.size()) ? type - 1 : -1;
}

FlowmeterEditor EditorOfRow(int row) {
    if (row == FlowRow::Type) return FlowmeterEditor::TypeList;
    if (row == FlowRow::TempOffset || row == FlowRow::LpgAddress) return FlowmeterEditor::Text;
    return FlowmeterEditor::None;
}

std::string FlowmeterHint(int row, int column, int cryptoStatus) {
    if (column == 0) return std::string(HintOfRow(kFlowmeterCatalog, row));
    if (row == FlowRow::Status && column >= 1 && column < kFlowmeterColumnCount) return CryptoStatusHint(cryptoStatus);
    return {};
}
