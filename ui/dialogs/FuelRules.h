#pragma once
// Rules of the dose window, free of widgets: what "Загрузка" sends for the typed text, the
// amount the other row shows at the channel's price, and where a dose the controller reports
// goes while the engineer may be typing.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/DeviceState.h"

namespace DoseRow {
constexpr int None = -1, Dose = 0, Sum = 1;
}

// "Загрузка": kind and amount for the text of the edited row, or the message.
struct DoseLoad {
    uint8_t Kind = 0;     // 0 by volume (ml), 1 by money (kopecks)
    uint32_t Amount = 0;
    std::string Error;    // "Неправильная доза" / "Неправильная сумма"
};
DoseLoad ReadDoseLoad(int row, const std::string& text);

// The text the other row shows for `amount` typed into `row` (ml in the dose row, kopecks in
// the sum row), rounded up to the next kopeck or millilitre. Nothing for a channel off the
// controller's own board, an unknown price, or a sum at price 0. `wholeUnitPrices`: the prices
// are whole currency units per litre (KazakhPriceCheckBox), not kopecks; sums stay kopecks.
std::optional<std::string> CounterpartText(int row, int64_t amount, int channel, const TMainWindowTables& prices,
                                           bool wholeUnitPrices = false);

// Where each of the reported dose and sum texts goes.
enum class DoseTarget : uint8_t { Cell, Editor, Nowhere };
struct DosePlacement {
    DoseTarget Dose, Sum;
    bool operator==(const DosePlacement&) const = default;
};
// For `channel` while the editor sits on (editRow, editChannel) and the main window holds
// updates off for `holdOff` more ticks.
DosePlacement PlaceLoadedDose(int channel, int editRow, int editChannel, int holdOff);
