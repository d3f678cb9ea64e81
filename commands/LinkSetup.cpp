#include "commands/LinkSetup.h"

#include <algorithm>

#include "link/CommandCodes.h"
#include "engine/ComThreadUnit.h"
#include "engine/DeviceTypes.h"
#include "engine/OperationPattern.h"
#include "engine/TextHelpers.h"
#include "link/ComPortUnit.h"
#include "link/ExchangeLog.h"
#include "link/ProtocolConstants.h"

namespace {

constexpr uint16_t kThisController = 33;
constexpr int kVrxRate = 4800;
constexpr int kShortestInfo = 20;
constexpr int kProtocolAnswerLength = 8;

// How much of the record each answer length carries.
struct InfoLayout {
    int minLength;
    int copied;       // record bytes 0..copied-1 from answer byte 3 on
    bool hasCpuTail;  // the answer carries processor temperature and the VRX 2.0 id
};
constexpr InfoLayout kInfoLayouts[] = {
    {27, 24, true},
    {26, 23, true},
    {21, 18, false},
    {20, 17, false},
};

void ShowStatusText(TComThread& w, const std::string& text) {
    w.PollStatusText = text;
    w.ShowStatus();
}

// Request of command 145: address, code, the guard code, one value byte.
int BuildLinkSettingsRequest(TRequest& request, uint8_t address, uint8_t value) {
    request[0] = address;
    request[1] = Cmd::LinkSettings;
    std::copy(kCommand145Code.begin(), kCommand145Code.end(), request.begin() + 2);
    request[6] = value;
    return 7;
}

// The controller's confirmation of a protocol switch sent in VRX 2.0 framing. A frame with a
// framing or checksum error is never taken for a confirmation.
std::string VrxProtocolResult(const TRequest& answer) {
    if (ComPort.AnswerLength == 0 || ComPort.Error != 0) return ComPort.ResultText;
    if (ComPort.AnswerLength != kProtocolAnswerLength) return "Неправильная длина ответа";
    if (!std::equal(kVrxProtocolConfirmation.begin(), kVrxProtocolConfirmation.end(), answer.begin() + 1))
        return "Неправильный ответ";
    return "OK";
}

}  // namespace

void FillDeviceInfo(uint8_t* record, const uint8_t* answer, int length) {
    const auto layout = std::find_if(std::begin(kInfoLayouts), std::end(kInfoLayouts),
                                     [length](const InfoLayout& l) { return length >= l.minLength; });
    if (layout == std::end(kInfoLayouts)) return;
    if (!layout->hasCpuTail) {
        record[DeviceInfoAt::CpuTemperature] = 0x80;
        std::fill(record + DeviceInfoAt::VrxId, record + DeviceInfoAt::VrxId + 4, 0);
    }
    std::copy(answer + 3, answer + 3 + layout->copied, record);
    if (layout->copied <= DeviceInfoAt::ProtocolType) record[DeviceInfoAt::ProtocolType] = 0xFF;
}

uint8_t BitRateDivisor(int32_t rate) {
    if (rate <= 0) return 0;
    const int32_t divisor = 921600 / rate;
    return divisor >= 1 && divisor <= 255 ? uint8_t(divisor) : 0;
}

std::string ProtocolTypeName(int32_t type) {
    static const char* const kNames[] = {"AUTO", "ПК", "VRX 2.0"};
    return type >= 0 && type < 3 ? kNames[type] : "";
}

int ProtocolComboIndexFor(uint8_t protocolByte) {
    // The list holds the three known protocols; anything else, 0xFF included, selects none.
    return protocolByte < 3 ? protocolByte : -1;
}

void ReadDeviceInfo(TComThread& w) {
    TRequest request{w.DeviceAddress, Cmd::DeviceInfo, 0};
    RunExchange(w, ReadDeviceInfo, request, 3,
                {.Status = &w.PollStatusText, .TimeoutMs = 1000, .Needed = kShortestInfo, .MarkSending = false},
                [&](const uint8_t* answer, int length) {
                    w.DeviceInfoRead = 1;
                    w.DeviceInfoLength = length;
                    FillDeviceInfo(w.DeviceInfo.data(), answer, length);
                },
                [&] { ShowDeviceInfo(w); });
}

void ShowDeviceInfo(TComThread& w) {
    const uint8_t* info = w.DeviceInfo.data();
    const uint16_t type = GetU16(info + DeviceInfoAt::Type);
    IMainView& main = *w.Ui.Main;
    main.SetTrkStatus(0, 0, DeviceTypeText(type));
    main.SetTrkStatus(1, 0, FirmwareText(info + DeviceInfoAt::Firmware));
    // A boot loader reports no live state; only the running controller fills the rest.
    if (type != kThisController) return;
    main.State().HdwErrCode = info[DeviceInfoAt::HdwErrCode];
    w.Ui.Config->SetProtocolComboIndex(ProtocolComboIndexFor(info[DeviceInfoAt::ProtocolType]));
    w.Ui.Config->SetProtocolComboEnabled(w.DeviceInfoLength >= 21);
    main.SetTrkStatus(4, 0, TemperatureText(int8_t(info[DeviceInfoAt::RtcTemperature])));
    main.SetTrkStatus(6, 0, TemperatureText(int8_t(info[DeviceInfoAt::CpuTemperature])));
    main.SetTrkStatus(7, 0, UnsignedText(GetU32(info + DeviceInfoAt::VrxId)));
    main.SetDoorSensors(info[DeviceInfoAt::DoorSensors]);
}

void WriteBusAddress(TComThread& w) {
    const std::string text = "Установка сетевого адреса " + std::to_string(w.NewAddress);
    {
        TELogger entry;
        entry.Append(text + "\r\n");
    }
    TRequest request{w.DeviceAddress, Cmd::WriteBusAddress, w.NewAddress};
    // The address is always set in the main framing, whatever the bit rate.
    if (!RunExchange(w, WriteBusAddress, request, 3,
                     {.Status = &w.PollStatusText, .TimeoutMs = TExchangeSettings::KeepTimeout, .Describe = text}))
        return;
    w.DeviceAddress = w.NewAddress;
    w.Synchronize([&w] { w.Ui.Main->SetDevAddr(w.NewAddress); });
}

void WriteBitRate(TComThread& w) {
    const std::string text = "Установка скорости обмена " + std::to_string(w.NewBitRate);
    const uint8_t divisor = BitRateDivisor(w.NewBitRate);
    if (divisor == 0) {
        // A rate without a divisor byte would switch the controller to something else.
        ShowStatusText(w, text + "...Недопустимая скорость обмена");
        return;
    }
    TRequest request{};
    const int length = BuildLinkSettingsRequest(request, w.DeviceAddress, divisor);
    RunExchange(w, WriteBitRate, request, length,
                {.Status = &w.PollStatusText, .TimeoutMs = TExchangeSettings::KeepTimeout, .Describe = text});
}

void WriteProtocolType(TComThread& w) {
    const std::string text = "Установка типа протокола : " + ProtocolTypeName(w.ProtocolType);
    if (ProtocolTypeName(w.ProtocolType).empty()) {
        // Nothing selected in the list: sending it would leave the controller on an unknown protocol.
        ShowStatusText(w, text + "...Не выбран тип протокола");
        return;
    }
    TRequest request{};
    if (w.BitRate != kVrxRate) {
        const int length = BuildLinkSettingsRequest(request, w.DeviceAddress, uint8_t(w.ProtocolType));
        RunExchange(w, WriteProtocolType, request, length,
                    {.Status = &w.PollStatusText, .TimeoutMs = TExchangeSettings::KeepTimeout, .Describe = text});
        return;
    }
    ComPort.Sending = true;
    ShowStatusText(w, text + "...");
    request[0] = w.DeviceAddress;
    std::copy(kVrxProtocolFunctionCode.begin(), kVrxProtocolFunctionCode.end(), request.begin() + 1);
    request[7] = uint8_t('0' + w.ProtocolType);
    ComPort.SendVrx(request.data(), 8);
    // A failed write must stay visible (and stop loops); a receive would replace it with silence.
    if (ComPort.Error == 0) ComPort.ReceiveVrx(request.data(), int(request.size()));
    w.PollStatusText += VrxProtocolResult(request);
    w.ShowStatus();
}
