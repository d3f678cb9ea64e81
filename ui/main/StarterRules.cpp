#include "ui/main/StarterRules.h"

#include "engine/DeviceState.h"
#include "ui/main/LinkRules.h"

namespace {
constexpr int kNotANumber = 255;  // refused by both ranges below
}

std::string FlowmeterChannelError(int channel) {
    return channel >= 0 && channel < kOwnChannelCount ? "" : "Неправильный номер канала";
}

StarterCheck CheckFlowmeterAddress(int channel, int type, std::string_view text) {
    if (std::string e = FlowmeterChannelError(channel); !e.empty()) return {0, e};
    if (type < 1 || type > 4) return {0, "Сначала выберите тип расходомера"};
    const int address = ParseDecimalOr(text, kNotANumber);
    if (address < 1 || address > 254) return {0, "Адрес расходомера должен быть от 1 до 254"};
    return {address, {}};
}

StarterCheck CheckFlowmeterOffset(int channel, std::string_view text) {
    if (std::string e = FlowmeterChannelError(channel); !e.empty()) return {0, e};
    const int offset = ParseDecimalOr(text, kNotANumber);
    if (offset < -126 || offset > 126) return {0, "Смещение должно быть от -126 до +126"};
    return {offset, {}};
}
