#include "ui/dialogs/FuelRules.h"

#include <cstdint>

#include "engine/TextHelpers.h"
#include "ui/main/EditRules.h"

DoseLoad ReadDoseLoad(int row, const std::string& text) {
    const bool sum = row == DoseRow::Sum;
    const int amount = ParseFixedPoint(text, sum ? 2 : 3);
    DoseLoad load;
    if (amount < 0) load.Error = sum ? "Неправильная сумма" : "Неправильная доза";
    else load = {sum ? uint8_t(1) : uint8_t(0), uint32_t(amount), {}};
    return load;
}

std::optional<std::string> CounterpartText(int row, int64_t amount, int channel, const TMainWindowTables& prices,
                                           bool wholeUnitPrices) {
    if (channel < 0 || channel >= kOwnChannelCount || !prices.PriceKnown(channel)) return std::nullopt;
    if (amount < 0 || amount > INT32_MAX) return std::nullopt;
    // 64 bits: a 32-bit price (times 100) times an amount that fits an int cannot overflow.
    const int64_t price = int64_t(prices.KnownPrices[size_t(channel)]) * (wholeUnitPrices ? 100 : 1);
    if (row == DoseRow::Dose) return RealText(double((price * amount + 999) / 1000) / 100.0);
    if (row == DoseRow::Sum && price != 0) return RealText(double((amount * 1000 + price - 1) / price) / 1000.0);
    return std::nullopt;
}

DosePlacement PlaceLoadedDose(int channel, int editRow, int editChannel, int holdOff) {
    if (channel != editChannel) return {DoseTarget::Cell, DoseTarget::Cell};
    if (holdOff != 0 || editRow == DoseRow::None) return {DoseTarget::Nowhere, DoseTarget::Nowhere};
    if (editRow == DoseRow::Dose) return {DoseTarget::Editor, DoseTarget::Cell};
    return {DoseTarget::Cell, DoseTarget::Editor};
}
