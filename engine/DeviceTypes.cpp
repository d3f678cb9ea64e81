#include "engine/DeviceTypes.h"

#include <algorithm>
#include <iterator>

namespace {

struct DeviceType {
    uint16_t code;
    const char* text;
};

// Codes the controller's maker gave to its own product lines carry our own generic names.
constexpr DeviceType kDeviceTypes[] = {
    {0, "Часы-табло"},
    {1, "Часы-табло с термометром"},
    {2, "Бегущая строка Stat"},
    {3, "Ценовое табло"},
    {4, "Бегущая строка Dyn"},
    {5, "Считыватель Mifare"},
    {6, "Коммутатор нагрузок"},
    {7, "Часы-табло уличные"},
    {8, "Платёжный терминал"},
    {9, "1-канальная ТРК"},
    {10, "Контроллер зондов"},
    {11, "Контроллер солярия"},
    {21, "Уровнемер"},
    {24, "Маленький контроллер для стел"},
    {25, "Терминал оплаты наличными"},
    {26, "Терминал оплаты картами"},
    {27, "Терминал топливных карт"},
    {28, "4-канальная ТРК на XMege"},
    {29, "Контроллер зондов многоканальный"},
    {30, "Контроллер уровнемеров"},
    {31, "Табло 14x56"},
    {32, "Табло Стой-Едь"},
    {33, "5-канальная ТРК"},
    {34, "Терминал самообслуживания"},
    {35, "Терминал оператора"},
    {36, "Сенсорная клавиатура"},
    {37, "Магнитный расходомер"},
    {38, "Звукогенератор"},
    {39, "Контроллер пропорциональных клапанов"},
};

constexpr uint16_t kBootLoaderBit = 0x8000;

}  // namespace

std::string DeviceTypeText(uint16_t type) {
    const uint16_t code = type & ~kBootLoaderBit;
    const auto row = std::find_if(std::begin(kDeviceTypes), std::end(kDeviceTypes),
                                  [code](const DeviceType& t) { return t.code == code; });
    std::string text = row != std::end(kDeviceTypes) ? row->text : "Неизвестное устройство " + std::to_string(code);
    if (type & kBootLoaderBit) text += " (Загрузчик)";
    return text;
}
