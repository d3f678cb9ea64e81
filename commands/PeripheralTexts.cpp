#include "commands/PeripheralTexts.h"

#include <utility>

#include "engine/DeviceTypes.h"
#include "engine/OperationPattern.h"
#include "engine/TextHelpers.h"

namespace {

const std::string kDash = "---";

constexpr std::pair<uint8_t, const char*> kSoundGenStates[] = {
    {0, "Выключен"}, {1, "Инициализация"}, {2, "Стоп"},   {3, "Проигрывание"},
    {4, "Пауза"},    {5, "Нет MicroSD-карты"}, {255, "Нет связи"},
};

}  // namespace

bool SoundGenSilent(uint8_t state) { return state == 0 || state == 1 || state == 255; }

namespace {

// The valve controller's temperature sensor codes for "no data"; -128 also means the
// controller itself is not reporting, so the currents are unknown too.
constexpr int8_t kNoController = -128;
constexpr int8_t kNoSensor = -127;

constexpr int kValveStateFlagged = 1;
constexpr int kValveStateShort = 2;

std::string ValveCurrentText(uint16_t milliamperes, uint8_t state) {
    if (state == kValveStateShort) return "КЗ";
    std::string text = RealText(double(milliamperes) / 1000);
    return state == kValveStateFlagged ? text + " !!!" : text;
}

}  // namespace

TSoundGenStatus DecodeSoundGenStatus(const uint8_t* a) {
    TSoundGenStatus s;
    s.State = a[3];
    s.Volume = a[4];
    s.FileCount = GetU16(a + 6);
    s.CurrentFile = GetU16(a + 8);
    s.FolderCount = a[10];
    s.DeviceType = GetU16(a + 13);
    for (size_t i = 0; i < s.Firmware.size(); ++i) s.Firmware[i] = a[15 + i];
    return s;
}

std::string SoundGenStateText(uint8_t state) {
    for (const auto& [code, text] : kSoundGenStates)
        if (code == state) return text;
    return "Unknown Status " + std::to_string(state);
}

std::vector<RowText> SoundGenTexts(const TSoundGenStatus& s, uint8_t address) {
    std::vector<RowText> rows = {
        {PeripheralRow::SoundAddress, std::to_string(address)},
        {PeripheralRow::SoundState, SoundGenStateText(s.State)},
    };
    if (SoundGenSilent(s.State)) {
        for (int row = PeripheralRow::Volume; row <= PeripheralRow::SoundFirmware; ++row)
            rows.push_back({row, kDash});
        return rows;
    }
    rows.insert(rows.end(), {
        {PeripheralRow::Volume, std::to_string(s.Volume)},
        {PeripheralRow::FileCount, std::to_string(s.FileCount)},
        {PeripheralRow::CurrentFile, std::to_string(s.CurrentFile)},
        {PeripheralRow::FolderCount, std::to_string(s.FolderCount)},
        {PeripheralRow::SoundDeviceType, DeviceTypeText(s.DeviceType)},
        {PeripheralRow::SoundFirmware, FirmwareText(s.Firmware.data())},
    });
    return rows;
}

uint32_t ValveBitRate(uint8_t divisor) { return 921600 / (uint32_t(divisor) + 1); }

bool ValveControllerSilent(const uint8_t* answer) { return int8_t(answer[7]) == kNoController; }

ValveStatusTexts ValveControllerStatusTexts(const uint8_t* a) {
    const int8_t temperature = int8_t(a[7]);
    const bool noData = temperature == kNoController || temperature == kNoSensor;
    ValveStatusTexts t;
    t.Rows = {
        {PeripheralRow::ValveAddress, std::to_string(a[4])},
        {PeripheralRow::ValveBitRate, std::to_string(ValveBitRate(a[5]))},
        {PeripheralRow::ValveOpening, std::to_string(a[6])},
        {PeripheralRow::ValveTemperature, TemperatureText(temperature)},
        // Volts truncated to one decimal.
        {PeripheralRow::ValveVoltage, noData ? kDash : RealText(double(GetU16(a + 8) / 100) / 10)},
    };
    for (int i = 0; i < kValveCount; ++i)
        t.Currents[i] = temperature == kNoController ? kDash : ValveCurrentText(GetU16(a + 10 + 2 * i), a[20 + i]);
    return t;
}

std::vector<RowText> ValveControllerInfoTexts(std::span<const uint8_t, kValveControllerInfoSize> info) {
    const uint16_t type = GetU16(&info[0]);
    if (type == 0) return {{PeripheralRow::ValveDeviceType, kDash}, {PeripheralRow::ValveFirmware, kDash}};
    const uint32_t date = GetU32(&info[4]);
    // VersionText reads minor and major only, the first two bytes of a firmware record.
    std::string firmware = VersionText(&info[2]) + " от " + DateText(date);
    if (date % 86400 != 0) firmware += " " + TimeText(date);
    return {{PeripheralRow::ValveDeviceType, DeviceTypeText(type)}, {PeripheralRow::ValveFirmware, firmware}};
}
