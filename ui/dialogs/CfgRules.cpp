#include "ui/dialogs/CfgRules.h"

#include "commands/ConfigMapping.h"
#include "commands/TimeCommands.h"
#include "commands/WriteRules.h"
#include "ui/main/LinkRules.h"

namespace {

constexpr int kVrxRate = 4800;
constexpr size_t kOperationDigits = 21;
constexpr size_t kGroupDigits = 5;

}  // namespace

Checked<uint32_t> NightBrightToWrite(std::string_view text) {
    const int value = ParseDecimalOr(text);
    if (!WriteRule::NightBright.Holds(value)) return {std::nullopt, WriteRule::NightBright.Message};
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
