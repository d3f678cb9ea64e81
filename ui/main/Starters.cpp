#include "ui/main/Starters.h"

#include "commands/FlowmeterCommands.h"
#include "commands/ParameterCommands.h"
#include "commands/TabloTestCommands.h"
#include "ui/dialogs/FlowmeterUnit.h"
#include "ui/dialogs/Tablo.h"
#include "ui/dialogs/TestTabloManualUnit.h"
#include "ui/main/MainUnit.h"
#include "ui/main/StarterRules.h"

// Staging steps run on the worker later: they carry copies of the values, never references.

void SendTabloColourCorrection(TForm1& form, int board, const ColourCorrection& record) {
    if (board < 0 || board >= kDisplayBoardCount) return;
    form.RunOperation(WriteTabloColourCorrection, [board, record](TComThread& w) {
        w.TabloColourCorrection[size_t(board)] = record;
        w.SelectedChannel = board;
    });
}

void SendTabloTempOffset(TForm1& form, int device, uint8_t offset) {
    if (device < 0 || device >= kDisplayDeviceCount) return;
    form.RunOperation(WriteTabloTempOffset, [device, offset](TComThread& w) {
        w.TabloTempOffsetToWrite[size_t(device)] = int8_t(offset);
        w.SelectedChannel = device;
    });
}

void SendFlowmeterType(TForm1& form, int channel, int type) {
    if (std::string error = FlowmeterChannelError(channel); !error.empty()) {
        form.SetErrorText(error);
        return;
    }
    form.RunOperation(WriteFlowmeterType, [channel, type](TComThread& w) {
        w.FlowmeterTypeToWrite[size_t(channel)] = uint8_t(type);
        w.SelectedChannel = channel;
    });
}

void SendFlowmeterAddress(TForm1& form, int channel, int type, const std::string& text) {
    const StarterCheck check = CheckFlowmeterAddress(channel, type, text);
    if (!check.error.empty()) {
        form.SetErrorText(check.error);
        return;
    }
    form.RunOperation(WriteFlowmeterTypeAndAddress, [channel, type, address = check.value](TComThread& w) {
        w.FlowmeterTypeToWrite[size_t(channel)] = uint8_t(type);
        w.LpgAddressToWrite[size_t(channel)] = uint8_t(address);
        w.SelectedChannel = channel;
    });
}

void SendFlowmeterOffset(TForm1& form, int channel, const std::string& text) {
    const StarterCheck check = CheckFlowmeterOffset(channel, text);
    if (!check.error.empty()) {
        form.SetErrorText(check.error);
        return;
    }
    form.RunOperation(WriteFlowmeterTempOffset, [channel, offset = check.value](TComThread& w) {
        w.FlowmeterTempOffsetToWrite[size_t(channel)] = int8_t(offset);
        w.SelectedChannel = channel;
    });
}

void SendTabloTestFrame(TForm1& form, const TabloTestFrame& frame) {
    form.RunOperation(WriteTabloTestFrame, [frame](TComThread& w) { w.TabloTestFrame = frame; });
}

void AttachStarters(TForm1& form, TFlowmeterForm& flowmeter, TTabloForm& tablo, TTestTabloManualForm& manualTest) {
    TForm1* f = &form;
    flowmeter.SendFlowmeterType = [f](int channel, int type) { SendFlowmeterType(*f, channel, type); };
    flowmeter.SendFlowmeterAddress = [f](int channel, int type, const std::string& text) {
        SendFlowmeterAddress(*f, channel, type, text);
    };
    flowmeter.SendFlowmeterOffset = [f](int channel, const std::string& text) { SendFlowmeterOffset(*f, channel, text); };
    tablo.SendTabloColourCorrection = [f](int board, const ColourCorrection& record) {
        SendTabloColourCorrection(*f, board, record);
    };
    tablo.SendTabloTempOffset = [f](int device, uint8_t offset) { SendTabloTempOffset(*f, device, offset); };
    manualTest.SendTestFrame = [f](const TabloTestFrame& frame) { SendTabloTestFrame(*f, frame); };
}
