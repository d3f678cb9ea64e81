#include "engine/CommandCatalog.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "engine/TextHelpers.h"
#include "link/CommandCodes.h"

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
    {Cmd::DeviceInfo, "Чтение информации об устройстве", Tail::None},
    {Cmd::ReadTime, "Чтение времени", Tail::None},
    {Cmd::WriteTime, "Запись времени", Tail::None},
    {Cmd::WriteTimeZone, "Запись часового пояса", Tail::None},
    {Cmd::LoadDose, "Загрузка параметров дозы ", Tail::Channel},
    {Cmd::StartDose, "Запуск дозы ", Tail::Channel},
    {Cmd::StopDose, "Остановка дозы ", Tail::Channel},
    {Cmd::ContinueDose, "Долив дозы ", Tail::Channel},
    {Cmd::ReadPrice, "Чтение цены топлива ", Tail::Channel},
    {Cmd::ConfirmFillEnd, "Подтверждение окончания налива ", Tail::Channel},
    {Cmd::ReadLastFill, "Чтение данных о последней заправке ", Tail::Channel},
    {Cmd::ReadDataBlock, "Чтение блока данных", Tail::None},
    {Cmd::WriteCfg, "Запись конфигурации ТРК", Tail::None},
    {Cmd::ReadCfg, "Чтение конфигурации ТРК", Tail::None},
    {Cmd::WriteExtCfg, "Запись доп.конфигурации ТРК", Tail::None},
    {Cmd::ReadExtCfg, "Чтение доп.конфигурации ТРК", Tail::None},
    {Cmd::WriteTabloTest, "Запись времени шага теста табло", Tail::None},
    {Cmd::ReadTabloTest, "Чтение времени шага теста табло", Tail::None},
    {Cmd::WriteTabloCutOff, "Запись отсечки табло", Tail::None},
    {Cmd::ReadTabloCutOff, "Чтение отсечки табло", Tail::None},
    {Cmd::WriteNightBright, "Запись ночной яркости табло", Tail::None},
    {Cmd::ReadNightBright, "Чтение ночной яркости табло", Tail::None},
    {Cmd::WriteReductionConst, "Запись константы снижения расхода", Tail::None},
    {Cmd::ReadReductionConst, "Чтение константы снижения расхода", Tail::None},
    {Cmd::WritePumpRampUp, "Запись времени разгона насоса", Tail::None},
    {Cmd::ReadPumpRampUp, "Чтение времени разгона насоса", Tail::None},
    {Cmd::ReadNozzleColours, "Чтение цветов пистолета ", Tail::Channel},
    {Cmd::WriteFlowmeterType, "Запись типа расходомера ", Tail::Channel},
    {Cmd::CryptoFlowmeter, "Чтение данных крипто-расходомера ", Tail::Channel},
    {Cmd::ReadTotals, "Чтение суммарников", Tail::None},
    {Cmd::WriteFlowmeterParams, "Запись таймаута расходомера", Tail::None},
    {Cmd::ReadFlowmeterParams, "Чтение таймаута расходомера", Tail::None},
    {Cmd::ReadTemps, "Чтение температур/напряжений", Tail::None},
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
    // The valve controller is reached through the same code; every poll pass reads its status.
    {6, "Чтение состояния контроллера клапанов"},
};
constexpr std::array<const char*, 3> kProtocolNames = {"AUTO", "ПК", "VRX 2.0"};

template <size_t N>
const SubCodeRow* FindSubCode(const SubCodeRow (&rows)[N], uint8_t subCode) {
    const auto row = std::find_if(std::begin(rows), std::end(rows),
                                  [subCode](const SubCodeRow& r) { return r.subCode == subCode; });
    return row == std::end(rows) ? nullptr : row;
}

std::string BusAddressText(int, const Request& r) {
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
std::string LineSwitchText(int bitRate, const Request& r) {
    const uint8_t selector = r.Byte(6);
    if (selector < kProtocolNames.size()) return std::string("Установка типа протокола : ") + kProtocolNames[selector];
    return "Установка скорости обмена " + std::to_string(bitRate) + " -> " +
           std::to_string(921600 / selector);
}

std::string BlockText(int, const Request& r) {
    return (r.Byte(3) != 0 ? "Блокировка канала " : "Разблокировка канала ") + r.Channel();
}

std::string PriceText(int, const Request& r) {
    return "Запись цены топлива " + r.Channel() + " " + RealText(r.U32(3) * 0.01) + " руб.";
}

// The fuel name and the nozzle colours share a code and differ by length.
std::string NozzleText(int, const Request& r) {
    constexpr int kFuelNameLength = 17;
    return (r.Length() == kFuelNameLength ? "Запись названия топлива " : "Запись цветов пистолета ") + r.Channel();
}

// Unnamed service sub-codes (the memory read among them) describe themselves as nothing.
std::string ServiceText(int, const Request& r) {
    if (r.Byte(2) == kRemoteInitSubCode) {
        const SubCodeRow* row = FindSubCode(kRemoteInitRows, r.Byte(3));
        return row ? row->text : "Неизвестная операция";
    }
    const SubCodeRow* row = FindSubCode(kServiceRows, r.Byte(2));
    return row ? row->text : "";
}

std::string FlowmeterReadText(int, const Request& r) {
    if (r.Length() == 3) return "Чтение типа расходомера " + r.Channel();
    if (r.Length() == 4 && r.Byte(2) == 1) return "Чтение данных расходомера " + std::to_string(r.Byte(3) + 1);
    return "";
}

std::string SoundGenText(int, const Request& r) {
    const SubCodeRow* row = FindSubCode(kSoundGenRows, r.Byte(2));
    if (!row) return "Неизвестная команда звукогенератора " + r.Number(2);
    return row->withValue ? row->text + r.Number(3) : row->text;
}

// The valve controller's identity is asked for with parameters 5, 3; every poll pass sends it.
std::string ValveInfoText(int, const Request& r) {
    return r.Byte(2) == 5 && r.Byte(3) == 3 ? "Чтение информации о контроллере клапанов" : kUndescribed;
}

// Commands whose text depends on the length or on parameter bytes.
using Describer = std::string (*)(int bitRate, const Request&);
struct RuleRow {
    uint8_t code;
    Describer describe;
};
constexpr RuleRow kRuleRows[] = {
    {Cmd::WriteBusAddress, BusAddressText},
    {Cmd::LinkSettings, LineSwitchText},
    {Cmd::BlockChannel, BlockText},
    {Cmd::WritePrice, PriceText},
    {Cmd::WriteNozzle, NozzleText},
    {Cmd::Service, ServiceText},
    {Cmd::FlowmeterData, FlowmeterReadText},
    {Cmd::Peripheral, SoundGenText},
    {Cmd::ValveControllerInfo, ValveInfoText},
};

}  // namespace

std::string DescribeRequest(TECOMPort& port, const uint8_t* request, int length) {
    return DescribeRequestAtRate(request, length, port.GetBitRate());
}

std::string DescribeRequestAtRate(const uint8_t* request, int length, int bitRate) {
    const Request r(request, length);
    if (r.Length() < 2) return kUndescribed;
    const uint8_t code = r.Byte(1);

    const auto rule = std::find_if(std::begin(kRuleRows), std::end(kRuleRows),
                                   [code](const RuleRow& row) { return row.code == code; });
    if (rule != std::end(kRuleRows)) return rule->describe(bitRate, r);

    const auto plain = std::find_if(std::begin(kPlainRows), std::end(kPlainRows),
                                    [code](const PlainRow& row) { return row.code == code; });
    if (plain == std::end(kPlainRows)) return kUndescribed;
    return plain->tail == Tail::Channel ? plain->text + r.Channel() : plain->text;
}

std::string DescribeBuffer(TECOMPort& port, int length) {
    return DescribeRequest(port, port.Buffer, std::min(length, int(sizeof port.Buffer)));
}
