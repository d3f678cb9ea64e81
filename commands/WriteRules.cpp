#include "commands/WriteRules.h"

namespace WriteRule {
const ValueRule TabloCutOff{0, 65535, "Отсечка табло должна быть от 0 до 65535 мл"};
const ValueRule TabloTestStep{10, 2550, "Время шага теста табло должно быть от 10 до 2550 мс"};
const ValueRule NightBright{10, 100, "Ночная яркость должна быть от 10 до 100 %"};
const ValueRule VrxAddress{1, 225, "Адрес должен быть от 1 до 225"};
const ValueRule PumpRampUp{0, 65535, "Время разгона насоса должно быть от 0 до 65535 мс"};
const ValueRule ReductionConst{0, 65535, "Снижение должно быть от 0 до 65535 мл"};
const ValueRule LpgAddress{1, 254, "Адрес расходомера должен быть от 1 до 254"};
const ValueRule FlowmeterTempOffset{-126, 126, "Смещение должно быть от -126 до +126"};
const ValueRule SoundGenAddress{1, 254, "Адрес должен быть от 1 до 254"};
const ValueRule SoundGenVolume{0, 30, "Громкость должна быть от 0 до 30"};
const ValueRule ValveControllerAddress{1, 254, "Адрес должен быть от 1 до 254"};
const ValueRule ValveControllerOpening{0, 100, "Степень открытия должна быть от 0 до 100"};
}  // namespace WriteRule

const char* const kValveControllerRateMessage = "Скорость обмена должна быть от 9600 до 115200";

bool ValveControllerRateAllowed(long long rate) {
    for (long long allowed : {9600, 19200, 38400, 57600, 115200})
        if (rate == allowed) return true;
    return false;
}

namespace {

constexpr char kMinimalSpeed[] = "Минимальная скорость должна быть от 0 до 65535 мл/с";

constexpr ValueRule kFlowmeterGroup[] = {
    {0, 255, "Таймаут расходомера должен быть от 0 до 255 секунд"},
    {1, 255, "Таймаут основного клапана должен быть от 0,1 до 25,5 секунд"},
    {1, 255, "Порог включения основного клапана должен быть от 1 до 255 импульсов"},
    {1, 255, "Макс. дифференциал 2х-канального расходомера должен быть от 1 до 255 импульсов"},
    {1, 255, "Макс. обратный ход квадратурного расходомера должен быть от 1 до 255 импульсов"},
    {0, 65535, "Макс. утечка расходомера должна быть от 0 до 65 литров"},
    {0, 65535, "Время подсчёта импульсов должно быть от 0 до 65 секунд"},
    {0, 65535, kMinimalSpeed},
    {0, 255, "Время минимальная скорость должна быть от 0 до 255 с"},
    {0, 1000000, "Макс.доза ручного налива должна быть от 0 до 1000 л"},
    {0, 65535, kMinimalSpeed},
    {0, 255, "Кол-во заправок должно быть от 0 до 255"},
};

}  // namespace

std::span<const ValueRule> FlowmeterGroupRules() { return kFlowmeterGroup; }
