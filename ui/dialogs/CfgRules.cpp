#include "ui/dialogs/CfgRules.h"

#include "commands/ConfigMapping.h"
#include "commands/TimeCommands.h"
#include "ui/main/LinkRules.h"

namespace {

constexpr int kOutputs = 15;
constexpr int kVrxRate = 4800;
constexpr size_t kOperationDigits = 21;
constexpr size_t kGroupDigits = 5;

// The channel count the combo selects, 1..5, or nothing.
std::optional<int> ChannelCount(int channelCountIndex) {
    const int n = channelCountIndex + 1;
    if (n < 1 || n > CfgChannels) return std::nullopt;
    return n;
}

bool IsOutput(int item) { return item >= 0 && item < kOutputs; }

}  // namespace

HoseSetCheck CheckHoseSets(int channelCountIndex, const ChannelItems& hoseSet) {
    HoseSetCheck check;
    const auto n = ChannelCount(channelCountIndex);
    if (!n) return check;
    check.CountValid = check.Applies = true;
    std::array<uint8_t, CfgChannels> codes{};
    for (int j = 0; j < *n; ++j) {
        const auto code = HoseSetCode(hoseSet[size_t(j)]);
        if (!code) {
            check.Red[size_t(j)] = true;
            continue;
        }
        codes[size_t(j)] = *code;
        for (int k = 0; k < j; ++k)
            if (codes[size_t(k)] & *code) check.Red[size_t(k)] = check.Red[size_t(j)] = true;
    }
    check.WriteEnabled = true;
    for (bool red : check.Red) check.WriteEnabled = check.WriteEnabled && !red;
    return check;
}

PowerOutputCheck CheckPowerOutputs(int channelCountIndex, const ChannelItems& small, const ChannelItems& large,
                                   const ChannelItems& pump) {
    PowerOutputCheck check;
    const int n = channelCountIndex + 1;
    check.CountValid = ChannelCount(channelCountIndex).has_value();
    // Above five there is no sixth row to check: the combos keep their colours.
    check.Recolour = n <= CfgChannels;
    for (int j = 0; j < std::min(n, CfgChannels); ++j) {
        const size_t J = size_t(j);
        const int r = small[J], m = large[J], p = pump[J];
        if (!IsOutput(r)) check.SmallRed[J] = true;
        if (!IsOutput(m)) check.LargeRed[J] = true;
        if (!IsOutput(p)) check.PumpRed[J] = true;
        if (r == m) check.SmallRed[J] = check.LargeRed[J] = true;
        if (p == r) check.PumpRed[J] = check.SmallRed[J] = true;
        if (p == m) check.PumpRed[J] = check.LargeRed[J] = true;
        for (int k = 0; k < j; ++k) {
            const size_t K = size_t(k);
            // An earlier channel's valve output taken by any output of this one.
            for (auto [earlier, earlierRed] : {std::pair{small[K], &check.SmallRed}, std::pair{large[K], &check.LargeRed}}) {
                if (earlier == r) (*earlierRed)[K] = check.SmallRed[J] = true;
                if (earlier == m) (*earlierRed)[K] = check.LargeRed[J] = true;
                if (earlier == p) (*earlierRed)[K] = check.PumpRed[J] = true;
            }
            // An earlier channel's pump on this one's valve; equal pumps are allowed.
            if (pump[K] == r) check.PumpRed[K] = check.SmallRed[J] = true;
            if (pump[K] == m) check.PumpRed[K] = check.LargeRed[J] = true;
        }
    }
    bool marked = false;
    for (int j = 0; j < CfgChannels; ++j)
        marked = marked || check.SmallRed[size_t(j)] || check.LargeRed[size_t(j)] || check.PumpRed[size_t(j)];
    check.WriteEnabled = check.CountValid && !marked;
    return check;
}

Checked<uint32_t> NightBrightToWrite(std::string_view text) {
    const int value = ParseDecimalOr(text);
    if (value < 10 || value > 100) return {std::nullopt, "Ночная яркость должна быть от 10 до 100 %"};
    return {uint32_t(value), {}};
}

Checked<SearchRange> SearchRangeToStage(std::string_view from, std::string_view to) {
    const int first = ParseDecimalOr(from), last = ParseDecimalOr(to);
    if (first < 1 || first > 255 || last < 1 || last > 255) return {std::nullopt, "Адрес должен быть от 1 до 255"};
    return {SearchRange{uint8_t(first), uint8_t(last)}, {}};
}

Checked<ZoneSetting> TimeZoneToWrite(int zoneItem, int shiftItem) {
    if (zoneItem < 0 || shiftItem < 0) return {std::nullopt, "Не выбраны часовой пояс или доп. смещение"};
    return {ZoneSetting{TimeZoneForItem(zoneItem), uint8_t(shiftItem)}, {}};
}

Checked<uint32_t> UtcTimeToWrite(const std::string& text) {
    if (auto seconds = ParseTimeStampText(text)) return {*seconds, {}};
    return {std::nullopt, "Время по Гринвичу не распознано: \"" + text + "\""};
}

RemoteInitCode ParseRemoteInitCode(std::string_view text) {
    std::string digits;
    for (char c : text)
        if (c != ' ') digits += c;
    RemoteInitCode code;
    bool allDigits = digits.size() == kOperationDigits;
    for (char c : digits) allDigits = allDigits && c >= '0' && c <= '9';
    if (!allDigits) {
        code.Label = "Код операции должен состоять из 21 цифры";
        return code;
    }
    code.Valid = true;
    const int type = digits[0] - '0';
    code.Record[0] = uint8_t(type);
    for (size_t g = 0; g < kRemoteInitGroups; ++g) {
        const uint16_t value = uint16_t(std::stoul(digits.substr(1 + g * kGroupDigits, kGroupDigits)));
        code.Record[1 + 2 * g] = uint8_t(value);
        code.Record[2 + 2 * g] = uint8_t(value >> 8);
    }
    switch (type) {
    case 1: code.Label = "Обнуление суммарников"; break;
    case 2: code.Label = "Инициализация ТРК"; break;
    case 3: code.Label = "Очистка журнала событий"; break;
    default: code.Label = "Неправильный код операции";
    }
    return code;
}

bool TimeGroupEnabled(int baudRate) { return baudRate != kVrxRate; }
