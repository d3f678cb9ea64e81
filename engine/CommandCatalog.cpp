#include "engine/CommandCatalog.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "engine/TextHelpers.h"

namespace {

// A request as the describer sees it: bytes past the end read as 0, so that a short
// request is still described and nothing beyond it is ever read.
class Request {
public:
    Request(const uint8_t* bytes, int length) : bytes_(bytes), length_(bytes ? std::max(length, 0) : 0) {}
    int Length() const { return length_; }
    uint8_t Byte(int n) const { return n < length_ ? bytes_[n] : 0; }
    uint32_t U32(int n) const {
        return Byte(n) | uint32_t(Byte(n + 1)) << 8 | uint32_t(Byte(n + 2)) << 16 | uint32_t(Byte(n + 3)) << 24;
    }
    // Texts number channels from 1.
    std::string Channel() const { return std::to_string(Byte(2) + 1); }
    std::string Number(int n) const { return std::to_string(Byte(n)); }

private:
    const uint8_t* bytes_;
    int length_;
};

const char* const kUndescribed = "Неописанная команда";

// Commands whose text depends only on the code, optionally followed by the channel.
enum class Tail : uint8_t { None, Channel };
struct PlainRow {
    uint8_t code;
    const char* text;
    Tail tail;
};
constexpr PlainRow kPlainRows[] = {
    {0, "Чтение информации об устройстве", Tail::None},
    {8, "Чтение времени", Tail::None},
    {9, "Запись времени", Tail::None},
    {10, "Запись часового пояса", Tail::None},
    {200, "Загрузка параметров дозы ", Tail::Channel},
    {201, "Запуск дозы ", Tail::Channel},
    {202, "Остановка дозы ", Tail::Channel},
    {203, "Долив дозы ", Tail::Channel},
    {206, "Чтение цены топлива ", Tail::Channel},
    {207, "Подтверждение окончания налива ", Tail::Channel},
    {208, "Чтение данных о последней заправке ", Tail::Channel},
    {209, "Чтение блока данных", Tail::None},
    {210, "Запись конфигурации ТРК", Tail::None},
    {211, "Чтение конфигурации ТРК", Tail::None},
    {212, "Запись доп.конфигурации ТРК", Tail::None},
    {213, "Чтение доп.конфигурации ТРК", Tail::None},
    {214, "Запись времени шага теста табло", Tail::None},
    {215, "Чтение времени шага теста табло", Tail::None},
    {218, "Запись отсечки табло", Tail::None},
    {219, "Чтение отсечки табло", Tail::None},
    {220, "Запись ночной яркости табло", Tail::None},
    {221, "Чтение ночной яркости табло", Tail::None},
    {222, "Запись константы снижения расхода", Tail::None},
    {223, "Чтение константы снижения расхода", Tail::None},
    {224, "Запись времени разгона насоса", Tail::None},
    {225, "Чтение времени разгона насоса", Tail::None},
    {227, "Чтение цветов пистолета ", Tail::Channel},
    {230, "Запись типа расходомера ", Tail::Channel},
    {231, "Чтение данных крипто-расходомера ", Tail::Channel},
    {249, "Чтение суммарников", Tail::None},
    {250, "Запись таймаута расходомера", Tail::None},
    {251, "Чтение таймаута расходомера", Tail::None},
    {252, "Чтение температур/напряжений", Tail::None},
};

// Texts chosen by a sub-code byte; `withValue` appends byte 3 in decimal.
struct SubCodeRow {
    uint8_t subCode;
    const char* text;
    bool withValue = false;
};
constexpr SubCodeRow kServiceRows[] = {
    {5, "Тест ног процессора"},
    {6, "Просмотр SD-карты"},
    {8, "Чтение файла SD-карты"},
    {10, "Чтение запросного кода"},
};
constexpr uint8_t kRemoteInitSubCode = 11;
constexpr SubCodeRow kRemoteInitRows[] = {
    {1, "Обнуление суммарников"},
    {2, "Полная инициализация ТРК"},
    {3, "Очистка журнала событий"},
};
constexpr SubCodeRow kSoundGenRows[] = {
    {0, "Чтение состояния звукогенератора"},
    {1, "Установка сетевого адреса звукогенератора ", true},
    {2, "Установка скорости обмена звукогенератора ", true},
    {3, "Установка громкости звукогенератора ", true},
    {4, "Установка эквалайзера звукогенератора ", true},
};
constexpr std::array<const char*, 3> kProtocolNames = {"AUTO", "ПК", "VRX 2.0"};

template <size_t N>
const SubCodeRow* FindSubCode(const SubCodeRow (&rows)[N], uint8_t subCode) {
    const auto row = std::find_if(std::begin(rows), std::end(rows),
                                  [subCode](const SubCodeRow& r) { return r.subCode == subCode; });
    return row == std::end(rows) ? nullptr : row;
}

std::string BusAddressText(TECOMPort&, const Request& r) {
    const std::string base = "Запись сетевого адреса";
    if (r.Length() == 3) return base + " контроллера " + r.Number(2);
    if (r.Length() < 5) return base;
    switch (r.Byte(3)) {
    case 0: return base + " контроллера " + r.Number(4);
    // The nozzle's channel is written as sent, counted from 0.
    case 1: return base + " пистолета " + r.Number(4) + " в канал " + r.Number(2);
    default: return base;
    }
}

// Byte 6 is the divisor of 921600 that selects the new rate; 0..2 select the protocol instead.
std::string LineSwitchText(TECOMPort& port, const Request& r) {
    const uint8_t selector = r.Byte(6);
    if (selector < kProtocolNames.size()) return std::string("Установка типа протокола : ") + kProtocolNames[selector];
    return "Установка скорости обмена " + std::to_string(port.GetBitRate()) + " -> " +
           std::to_string(921600 / selector);
}

std::string BlockText(TECOMPort&, const Request& r) {
    return (r.Byte(3) != 0 ? "Блокировка канала " : "Разблокировка канала ") + r.Channel();
}

std::string PriceText(TECOMPort&, const Request& r) {
    return "Запись цены топлива " + r.Channel() + " " + RealText(r.U32(3) * 0.01) + " руб.";
}

// The fuel name and the nozzle colours share a code and differ by length.
std::string NozzleText(TECOMPort&, const Request& r) {
    constexpr int kFuelNameLength = 17;
    return (r.Length() == kFuelNameLength ? "Запись названия топлива " : "Запись цветов пистолета ") + r.Channel();
}

// Unnamed service sub-codes (the memory read among them) describe themselves as nothing.
std::string ServiceText(TECOMPort&, const Request& r) {
    if (r.Byte(2) == kRemoteInitSubCode) {
        const SubCodeRow* row = FindSubCode(kRemoteInitRows, r.Byte(3));
        return row ? row->text : "Неизвестная операция";
    }
    const SubCodeRow* row = FindSubCode(kServiceRows, r.Byte(2));
    return row ? row->text : "";
}

std::string FlowmeterReadText(TECOMPort&, const Request& r) {
    if (r.Length() == 3) return "Чтение типа расходомера " + r.Channel();
    if (r.Length() == 4 && r.Byte(2) == 1) return "Чтение данных расходомера " + std::to_string(r.Byte(3) + 1);
    return "";
}

std::string SoundGenText(TECOMPort&, const Request& r) {
    const SubCodeRow* row = FindSubCode(kSoundGenRows, r.Byte(2));
    if (!row) return "Неизвестная команда звукогенератора " + r.Number(2);
    return row->withValue ? row->text + r.Number(3) : row->text;
}

// Commands whose text depends on the length or on parameter bytes.
using Describer = std::string (*)(TECOMPort&, const Request&);
struct RuleRow {
    uint8_t code;
    Describer describe;
};
constexpr RuleRow kRuleRows[] = {
    {34, BusAddressText},  {145, LineSwitchText},     {204, BlockText},     {205, PriceText},
    {226, NozzleText},     {228, ServiceText},        {229, FlowmeterReadText}, {232, SoundGenText},
};

}  // namespace

std::string DescribeRequest(TECOMPort& port, const uint8_t* request, int length) {
    const Request r(request, length);
    if (r.Length() < 2) return kUndescribed;
    const uint8_t code = r.Byte(1);

    const auto rule = std::find_if(std::begin(kRuleRows), std::end(kRuleRows),
                                   [code](const RuleRow& row) { return row.code == code; });
    if (rule != std::end(kRuleRows)) return rule->describe(port, r);

    const auto plain = std::find_if(std::begin(kPlainRows), std::end(kPlainRows),
                                    [code](const PlainRow& row) { return row.code == code; });
    if (plain == std::end(kPlainRows)) return kUndescribed;
    return plain->tail == Tail::Channel ? plain->text + r.Channel() : plain->text;
}

std::string DescribeBuffer(TECOMPort& port, int length) {
    return DescribeRequest(port, port.Buffer, std::min(length, int(sizeof port.Buffer)));
}
