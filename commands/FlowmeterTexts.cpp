#include "commands/FlowmeterTexts.h"

#include <array>
#include <utility>

#include "commands/FlowmeterState.h"
#include "engine/OperationPattern.h"
#include "engine/TextHelpers.h"

namespace {

const std::string kDash = "---";

// Words of the gain-control flags, most severe first, as the flowmeter's own tools print them.
constexpr std::pair<uint8_t, const char*> kGainFlagWords[] = {
    {0x08, "MAGL "}, {0x04, "MAGH "}, {0x02, "COF "}, {0x01, "LF "},
};

constexpr std::pair<int, const char*> kStatusHints[] = {
    {0, "OK"},
    {1, "ТРК присылает ГИРу запросы с неправильной длиной"},
    {2, "ТРК присылает ГИРу запросы с неправильным кодом команды"},
    {3, "ТРК присылает ГИРу запросы с неправильным CRC"},
    {4, "Не удаётся установить шифрованное соединение с ГИРом"},
    {5, "Неправильный MCU ID"},
    {6, "MCU ID повреждён"},
    {7, "Тотальный счётчик в ГИРе повреждён"},
    {8, "Калибровочный коэффициент в ГИРе повреждён"},
    {252, "Ошибка связи между ГИР и ТРК"},
    {253, "ГИР отвечает неправильно"},
    {254, "ГИР не отвечает"},
};

// Rows a blank display dashes before it writes the status row.
constexpr int kCryptoValueRows[] = {
    FlowRow::CryptoTotal, FlowRow::CryptoBackup, FlowRow::Firmware, FlowRow::Temperature,
    FlowRow::TempOffset,  FlowRow::Gain,         FlowRow::GainFlags, FlowRow::Strength,
    FlowRow::RawAngle,    FlowRow::Angle,
};

constexpr std::pair<CryptoBlank, const char*> kBlankStatus[] = {
    {CryptoBlank::NotAnswering, "ГИР не отвечает"},
    {CryptoBlank::NotPolled, "Не опрашивается"},
    {CryptoBlank::NoData, "---"},
};

// A 14-bit angle in degrees, truncated to hundredths. Wide arithmetic: stray high bits
// of a corrupted reading must not overflow into a negative angle.
std::string AngleText(uint16_t angle) { return RealText(double(uint64_t(angle) * 36000 / 16384) / 100); }

std::string GainFlagsText(uint8_t flags) {
    std::string text;
    for (const auto& [bit, word] : kGainFlagWords)
        if (flags & bit) text += word;
    return text;
}

}  // namespace

std::vector<RowText> FlowmeterDataTexts(FlowmeterDataRecord r, double density, double temperature) {
    const uint8_t type = r[FlowmeterDataAt::Type];
    // The controller reports ml/s; l/min to one decimal, truncated as the controller's display does.
    const uint32_t rateTenths = uint32_t(GetU16(&r[FlowmeterDataAt::Rate])) * 3 / 5;
    const bool lpg = type == kLpgMassFlowmeterType;
    return {
        {FlowRow::Type, FlowmeterTypeText(type)},
        {FlowRow::LpgAddress, std::to_string(r[FlowmeterDataAt::LpgAddress])},
        {FlowRow::Voltage, RealText(double(r[FlowmeterDataAt::Voltage]) / 10)},
        {FlowRow::Coefficient, UnsignedText(GetU32(&r[FlowmeterDataAt::Coefficient]))},
        {FlowRow::MassTotal, RealText(double(GetU64(&r[FlowmeterDataAt::MassTotal])) / 1000)},
        {FlowRow::Rate, RealText(double(rateTenths) / 10)},
        {FlowRow::GasDensity, lpg ? FixedText(density * 1000, 3) : kDash},
        {FlowRow::GasTemperature, lpg ? FixedText(temperature, 3) : kDash},
    };
}

std::vector<RowText> LpgNoLinkTexts() {
    return {{FlowRow::GasDensity, "Нет связи"}, {FlowRow::GasTemperature, "Нет связи"}};
}

std::vector<RowText> CryptoDataTexts(CryptoDataRecord r) {
    const uint8_t status = r[CryptoAt::Status];
    const uint32_t strength = GetU16(&r[CryptoAt::Strength]);
    return {
        {FlowRow::CryptoTotal, RealText(double(GetU64(&r[CryptoAt::Total])) / 1000)},
        {FlowRow::CryptoBackup, RealText(double(GetU64(&r[CryptoAt::BackupTotal])) / 1000)},
        {FlowRow::Firmware, "v" + std::to_string(r[CryptoAt::Version]) + " от " +
                                DateText(GetU32(&r[CryptoAt::Date]))},
        {FlowRow::Status, status == kCryptoNotAnswered ? "ГИР не ответил" : std::to_string(status)},
        {FlowRow::Temperature, std::to_string(int8_t(r[CryptoAt::Temperature]))},
        {FlowRow::TempOffset, std::to_string(int8_t(r[CryptoAt::TempOffset]))},
        {FlowRow::Gain, std::to_string(r[CryptoAt::Gain] * 20 / 51) + "%"},
        {FlowRow::GainFlags, GainFlagsText(r[CryptoAt::GainFlags])},
        {FlowRow::Strength, RealText(double(strength * 10000 / 16383) / 100) + "%"},
        {FlowRow::RawAngle, AngleText(GetU16(&r[CryptoAt::RawAngle]))},
        {FlowRow::Angle, AngleText(GetU16(&r[CryptoAt::Angle]))},
    };
}

std::vector<RowText> CryptoBlankTexts(CryptoBlank kind) {
    std::vector<RowText> texts;
    for (int row : kCryptoValueRows) texts.push_back({row, kDash});
    for (const auto& [k, status] : kBlankStatus)
        if (k == kind) texts.push_back({FlowRow::Status, status});
    return texts;
}

std::string CryptoStatusHint(int code) {
    for (const auto& [c, hint] : kStatusHints)
        if (c == code) return hint;
    return {};
}
