#include "commands/ParameterCommands.h"

#include <algorithm>

#include "link/CommandCodes.h"
#include "commands/BlockFields.h"
#include "link/FuelNameCodes.h"
#include "commands/ParameterLayout.h"
#include "engine/OperationPattern.h"
#include "engine/TextHelpers.h"
#include "link/ComPortUnit.h"

namespace {

// Sub-codes: 214 writes display-device settings with 1 and 2, 34 a nozzle address with 1.
constexpr uint8_t TabloColourCorrectionSub = 1;
constexpr uint8_t TabloTempOffsetSub = 2;
constexpr uint8_t VrxAddressSub = 1;

constexpr int TabloCutOffRow = 10;
constexpr int TabloTestStepRow = 11;
constexpr int ReductionFirstRow = 1;
constexpr uint32_t ReductionReadTimeoutMs = 1000;

// Every writer: one exchange, nothing read but the result code.
bool SendSetting(TComThread& w, Op self, TRequest& request, int length) {
    return RunExchange(w, self, request, length, {.Status = &w.CommandStatusText});
}

bool SendSettingFromBuffer(TComThread& w, Op self, int length) {
    return RunExchangeBuffer(w, self, length, {.Status = &w.CommandStatusText});
}

}  // namespace

RowTexts FlowmeterParamRowTexts(const TDeviceState& s, bool fullAnswer) {
    RowTexts rows{{FlowmeterTimeoutRow, UnsignedText(s.FlowmeterTimeout)}};
    if (!s.FlowmeterParamsPresent) return rows;
    std::span<const uint8_t, FlowmeterParamBytes> block(s.FlowmeterParams);
    for (const FlowmeterParamField& field : FlowmeterParamFields()) {
        if (field.row >= FlowmeterLateRowsFrom && !fullAnswer) continue;
        rows.emplace_back(field.row, ScaledText(FlowmeterParamValue(block, field), field.divisor));
    }
    return rows;
}

std::string ReductionConstText(const TDeviceState& s, int channel) {
    if (!ChannelBoardPresent(s.SubTrkCfg, channel)) return "---";
    return UnsignedText(s.ReductionConst[channel]);
}

void ReadFlowmeterTimeout(TComThread& w) {
    TRequest request{w.DeviceAddress, Cmd::ReadFlowmeterParams};
    const TExchangeSettings settings{.Status = &w.PollStatusText, .Needed = FlowmeterTimeoutAnswer};
    bool fullAnswer = false;
    RunExchange(w, ReadFlowmeterTimeout, request, 2, settings,
        [&](const uint8_t* answer, int length) {
            w.FlowmeterTimeout = answer[3];
            w.FlowmeterTimeoutRead = 1;
            int carried = FlowmeterBlockBytesIn(length);
            if (carried > 0) {
                // A short block leaves the last three settings as they were.
                w.FlowmeterParamsPresent = 1;
                std::copy_n(answer + 4, carried, w.FlowmeterParams.begin());
            }
            fullAnswer = carried == FlowmeterParamBytes;
        },
        [&] {
            for (const auto& [row, text] : FlowmeterParamRowTexts(w, fullAnswer))
                w.Ui.Main->SetTrkStatus(row, 0, text);
        });
}

void ReadTabloCutOff(TComThread& w) {
    TRequest request{w.DeviceAddress, Cmd::ReadTabloCutOff};
    const TExchangeSettings settings{.Status = &w.PollStatusText, .Needed = 5};
    RunExchange(w, ReadTabloCutOff, request, 2, settings,
        [&](const uint8_t* answer, int) {
            w.TabloCutOff = GetU16(answer + 3);
            w.TabloCutOffRead = 1;
        },
        [&] { w.Ui.Main->SetTrkStatus(TabloCutOffRow, 0, UnsignedText(w.TabloCutOff)); });
}

void ReadNightBright(TComThread& w) {
    TRequest request{w.DeviceAddress, Cmd::ReadNightBright};
    const TExchangeSettings settings{.Status = &w.PollStatusText, .Needed = 4};
    RunExchange(w, ReadNightBright, request, 2, settings,
        [&](const uint8_t* answer, int) {
            w.NightBright = answer[3];
            w.NightBrightRead = 1;
        },
        [&] { w.Ui.Config->SetNightBrightText(UnsignedText(w.NightBright)); });
}

void ReadTabloTestStepTime(TComThread& w) {
    TRequest request{w.DeviceAddress, Cmd::ReadTabloTest};
    const TExchangeSettings settings{.Status = &w.PollStatusText, .Needed = 4};
    RunExchange(w, ReadTabloTestStepTime, request, 2, settings,
        [&](const uint8_t* answer, int) {
            w.TabloTestStep = answer[3];
            w.TabloTestStepRead = 1;
        },
        [&] { w.Ui.Main->SetTrkStatus(TabloTestStepRow, 0, UnsignedText(w.TabloTestStep * 10)); });
}

void ReadReductionConst(TComThread& w) {
    const int channel = w.CurrentChannel;
    auto display = [&w, channel] {
        w.Ui.Main->SetValveStatus(ReductionFirstRow + channel / 5, channel % 5,
                                  ReductionConstText(w, channel));
    };
    // Beyond the fifteen channels there is neither a board to ask nor a cell to fill.
    if (RefuseOutOfRange(w, ReadReductionConst, channel, kChannelCount)) return;
    if (!ChannelBoardPresent(w.SubTrkCfg, channel)) {
        w.Synchronize(display);
        return;
    }
    ComPort.Buffer[0] = SubControllerBusAddress(w.DeviceAddress, channel);
    ComPort.Buffer[1] = Cmd::ReadReductionConst;
    ComPort.Buffer[2] = SubControllerChannel(channel);
    RunExchangeBuffer(w, ReadReductionConst, 3,
        {.Status = &w.PollStatusText, .TimeoutMs = ReductionReadTimeoutMs, .Needed = 6},
        [&](const uint8_t* answer, int) { w.ReductionConst[channel] = GetU16(answer + 4); },
        display);
}

void WriteFlowmeterTimeout(TComThread& w) {
    TRequest request{w.DeviceAddress, Cmd::WriteFlowmeterParams, static_cast<uint8_t>(w.FlowmeterTimeout)};
    SendSetting(w, WriteFlowmeterTimeout, request, 3);
}

void WriteFlowmeterParams(TComThread& w) {
    TRequest request{w.DeviceAddress, Cmd::WriteFlowmeterParams, static_cast<uint8_t>(w.FlowmeterTimeout)};
    std::ranges::copy(w.FlowmeterParams, request.begin() + 3);
    SendSetting(w, WriteFlowmeterParams, request, 3 + FlowmeterParamBytes);
}

void WriteTabloCutOff(TComThread& w) {
    TRequest request{w.DeviceAddress, Cmd::WriteTabloCutOff};
    PutU16(&request[2], static_cast<uint16_t>(w.TabloCutOff));
    SendSetting(w, WriteTabloCutOff, request, 4);
}

void WriteNightBright(TComThread& w) {
    TRequest request{w.DeviceAddress, Cmd::WriteNightBright, static_cast<uint8_t>(w.NightBright)};
    SendSetting(w, WriteNightBright, request, 3);
}

void WriteTabloTestStepTime(TComThread& w) {
    TRequest request{w.DeviceAddress, Cmd::WriteTabloTest, static_cast<uint8_t>(w.TabloTestStep)};
    SendSetting(w, WriteTabloTestStepTime, request, 3);
}

void WriteReductionConst(TComThread& w) {
    const int channel = w.SelectedChannel;
    if (RefuseOutOfRange(w, WriteReductionConst, channel, kChannelCount)) return;
    ComPort.Buffer[0] = SubControllerBusAddress(w.DeviceAddress, channel);
    ComPort.Buffer[1] = Cmd::WriteReductionConst;
    ComPort.Buffer[2] = SubControllerChannel(channel);
    PutU16(&ComPort.Buffer[3], w.ReductionConstToWrite[channel]);
    SendSettingFromBuffer(w, WriteReductionConst, 5);
}

void WritePumpRampUpTime(TComThread& w) {
    const int channel = w.SelectedChannel;
    if (RefuseOutOfRange(w, WritePumpRampUpTime, channel, static_cast<int>(w.PumpRampUpTimeToWrite.size())))
        return;
    TRequest request{w.DeviceAddress, Cmd::WritePumpRampUp, static_cast<uint8_t>(channel)};
    PutU16(&request[3], w.PumpRampUpTimeToWrite[channel]);
    SendSetting(w, WritePumpRampUpTime, request, 5);
}

void WriteNozzleColours(TComThread& w) {
    const int channel = w.SelectedChannel;
    if (RefuseOutOfRange(w, WriteNozzleColours, channel, kChannelCount)) return;
    TRequest request{w.DeviceAddress, Cmd::WriteNozzle, static_cast<uint8_t>(channel)};
    std::ranges::copy(ColourBytes(w.LiftedNozzleColourToWrite[channel]), request.begin() + 3);
    std::ranges::copy(ColourBytes(w.RestingNozzleColourToWrite[channel]), request.begin() + 6);
    SendSetting(w, WriteNozzleColours, request, 9);
}

void WriteFuelName(TComThread& w) {
    const int channel = w.SelectedChannel;
    if (RefuseOutOfRange(w, WriteFuelName, channel, kChannelCount)) return;
    TRequest request{w.DeviceAddress, Cmd::WriteNozzle, static_cast<uint8_t>(channel)};
    EncodeFuelName(w.FuelNameToWrite[channel], std::span<uint8_t, FuelNameLength>(&request[3], FuelNameLength));
    SendSetting(w, WriteFuelName, request, 3 + FuelNameLength);
}

void WriteVrxAddress(TComThread& w) {
    const int channel = w.SelectedChannel;
    if (RefuseOutOfRange(w, WriteVrxAddress, channel, kChannelCount)) return;
    const uint8_t request[] = {w.DeviceAddress, Cmd::WriteBusAddress, static_cast<uint8_t>(channel),
                               VrxAddressSub, w.VrxAddress[channel]};
    std::ranges::copy(request, ComPort.Buffer);
    SendSettingFromBuffer(w, WriteVrxAddress, sizeof request);
}

void WriteTabloColourCorrection(TComThread& w) {
    const int board = w.SelectedChannel;
    if (RefuseOutOfRange(w, WriteTabloColourCorrection, board, kDisplayBoardCount)) return;
    const uint8_t head[] = {w.DeviceAddress, Cmd::WriteTabloTest, TabloColourCorrectionSub,
                            static_cast<uint8_t>(board)};
    std::ranges::copy(head, ComPort.Buffer);
    std::ranges::copy(w.TabloColourCorrection[board], ComPort.Buffer + sizeof head);
    const bool taken = SendSettingFromBuffer(w, WriteTabloColourCorrection, sizeof head + kTabloColourCorrectionSize);
    // The window bases the next edit on what the board holds now, not on a read from before.
    w.Synchronize([&w, board, taken] {
        w.Ui.Tablo->ColourCorrectionWritten(board, w.TabloColourCorrection[size_t(board)], taken);
    });
}

void WriteTabloTempOffset(TComThread& w) {
    const int device = w.SelectedChannel;
    if (RefuseOutOfRange(w, WriteTabloTempOffset, device, kDisplayDeviceCount)) return;
    const uint8_t request[] = {w.DeviceAddress, Cmd::WriteTabloTest, TabloTempOffsetSub,
                               static_cast<uint8_t>(device),
                               static_cast<uint8_t>(w.TabloTempOffsetToWrite[device])};
    std::ranges::copy(request, ComPort.Buffer);
    SendSettingFromBuffer(w, WriteTabloTempOffset, sizeof request);
}
