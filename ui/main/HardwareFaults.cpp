#include "ui/main/HardwareFaults.h"

#include <array>
#include <string_view>

namespace {

struct FixedFault { int code; std::string_view text; };

constexpr std::array<FixedFault, 6> FixedFaults{{
    {1, "FRAM неисправна"},
    {2, "Неправильные ФусБиты"},
    {3, "RTC неисправна"},
    {5, "SRAM неисправна"},
    {30, "Flash неисправна"},
    {31, "ТРК в ручном режиме"},
}};

// Faults reported per flowmeter: flowmeter k (0..4) has code first + k * stride.
struct FlowmeterFault { int first; int stride; std::string_view text; };

constexpr std::array<FlowmeterFault, 8> FlowmeterFaults{{
    {6, 5, "Напряжение питания менее 4В"},
    {7, 5, "Напряжение питания от 6В до 10В"},
    {8, 5, "Напряжение питания более 13В"},
    {9, 5, "Управление питанием не работает"},
    {32, 4, "Разное кол-во импульсов двухканального расходомера"},
    {33, 4, "Утечка клапана"},
    {34, 4, "Не отвечает по протоколу"},
    {35, 4, "Нет импульсов в высокопроизводительном рукаве"},
}};

constexpr int FlowmetersPerController = 5;

constexpr std::array<std::string_view, 4> ClockFaults{
    "", "В ТРК неправильное время", "В ТРК неправильный часовой пояс", "В ТРК время не идёт"};

}  // namespace

std::string HardwareFaultText(int code) {
    for (const auto& f : FixedFaults)
        if (f.code == code) return std::string(f.text);
    for (const auto& f : FlowmeterFaults) {
        int offset = code - f.first;
        if (offset >= 0 && offset % f.stride == 0 && offset / f.stride < FlowmetersPerController)
            return "Расходомер " + std::to_string(offset / f.stride + 1) + ". " + std::string(f.text);
    }
    // The Latin "c" in this word is how the controller's own documentation spells it.
    return "Неизвестный код неиcправности " + std::to_string(code);
}

std::string ClockFaultText(int code) {
    if (code < 0 || code >= static_cast<int>(ClockFaults.size())) return {};
    return std::string(ClockFaults[code]);
}

std::string HdwErrTick(HdwErrBlink& state, int hdwErrCode, int timeErrCode) {
    std::string caption = TitlePrefix;
    if (state.Blink) {
        // A hardware fault hides a clock fault.
        if (hdwErrCode != 0) caption += HardwareFaultText(hdwErrCode);
        else if (timeErrCode != 0) caption += ClockFaultText(timeErrCode);
    }
    state.Blink = !state.Blink;
    if (state.EditHoldOff > 0) --state.EditHoldOff;
    return caption;
}

std::string MessagePanelText(const std::string& message, int hdwErrCode, int timeErrCode) {
    const std::string fault = hdwErrCode != 0 ? HardwareFaultText(hdwErrCode) : ClockFaultText(timeErrCode);
    if (fault.empty()) return message;
    if (message.empty() || message == "OK") return fault;
    return message + " | " + fault;
}
