#include "ui/main/StarterRules.h"

#include "commands/FlowmeterCommands.h"
#include "commands/ParameterCommands.h"
#include "commands/TabloTestCommands.h"
#include "commands/WriteRules.h"
#include "engine/DeviceState.h"
#include "ui/main/LinkRules.h"

// Staging steps run on the worker later: they carry copies of the values, never references.

namespace {

constexpr int kNotANumber = 255;  // refused by both ranges below
bool OwnChannel(int channel) { return channel >= 0 && channel < kOwnChannelCount; }

}  // namespace

EditOutcome FlowmeterTypeEdit(int channel, int type) {
    if (!OwnChannel(channel)) return RejectedEdit(kWrongChannelText);
    return AcceptedEdit(WriteFlowmeterType, [channel, type](TComThread& w) {
        w.FlowmeterTypeToWrite[size_t(channel)] = uint8_t(type);
        w.SelectedChannel = channel;
    });
}

EditOutcome FlowmeterAddressEdit(int channel, int type, std::string_view text) {
    if (!OwnChannel(channel)) return RejectedEdit(kWrongChannelText);
    if (type < 1 || type > 4) return RejectedEdit("Сначала выберите тип расходомера");
    const int address = ParseDecimalOr(text, kNotANumber);
    if (!WriteRule::LpgAddress.Holds(address)) return RejectedEdit(WriteRule::LpgAddress.Message);
    return AcceptedEdit(WriteFlowmeterTypeAndAddress, [channel, type, address](TComThread& w) {
        w.FlowmeterTypeToWrite[size_t(channel)] = uint8_t(type);
        w.LpgAddressToWrite[size_t(channel)] = uint8_t(address);
        w.SelectedChannel = channel;
    });
}

EditOutcome FlowmeterOffsetEdit(int channel, std::string_view text) {
    if (!OwnChannel(channel)) return RejectedEdit(kWrongChannelText);
    const int offset = ParseDecimalOr(text, kNotANumber);
    if (!WriteRule::FlowmeterTempOffset.Holds(offset)) return RejectedEdit(WriteRule::FlowmeterTempOffset.Message);
    return AcceptedEdit(WriteFlowmeterTempOffset, [channel, offset](TComThread& w) {
        w.FlowmeterTempOffsetToWrite[size_t(channel)] = int8_t(offset);
        w.SelectedChannel = channel;
    });
}

EditOutcome TabloColourEdit(int board, const ColourCorrection& record) {
    if (board < 0 || board >= kDisplayBoardCount) return {};
    return AcceptedEdit(WriteTabloColourCorrection, [board, record](TComThread& w) {
        w.TabloColourCorrection[size_t(board)] = record;
        w.SelectedChannel = board;
    });
}

EditOutcome TabloTempOffsetEdit(int device, uint8_t offset) {
    if (device < 0 || device >= kDisplayDeviceCount) return {};
    return AcceptedEdit(WriteTabloTempOffset, [device, offset](TComThread& w) {
        w.TabloTempOffsetToWrite[size_t(device)] = int8_t(offset);
        w.SelectedChannel = device;
    });
}

EditOutcome TabloTestFrameEdit(const TabloTestFrame& frame) {
    return AcceptedEdit(WriteTabloTestFrame, [frame](TComThread& w) { w.TabloTestFrame = frame; });
}
