#include "ui/main/StarterRules.h"

#include "commands/FlowmeterCommands.h"
#include "commands/ParameterCommands.h"
#include "commands/TabloTestCommands.h"
#include "engine/DeviceState.h"
#include "ui/main/LinkRules.h"

// Staging steps run on the worker later: they carry copies of the values, never references.

namespace {

constexpr int kNotANumber = 255;  // refused by both ranges below
const char* const kWrongChannel = "Неправильный номер канала";

EditOutcome Refused(const char* message) {
    EditOutcome outcome;
    outcome.Error = message;
    return outcome;
}
EditOutcome Staged(Op write, std::function<void(TComThread&)> stage) {
    EditOutcome outcome;
    outcome.Write = write;
    outcome.Stage = std::move(stage);
    return outcome;
}

bool OwnChannel(int channel) { return channel >= 0 && channel < kOwnChannelCount; }

}  // namespace

EditOutcome FlowmeterTypeEdit(int channel, int type) {
    if (!OwnChannel(channel)) return Refused(kWrongChannel);
    return Staged(WriteFlowmeterType, [channel, type](TComThread& w) {
        w.FlowmeterTypeToWrite[size_t(channel)] = uint8_t(type);
        w.SelectedChannel = channel;
    });
}

EditOutcome FlowmeterAddressEdit(int channel, int type, std::string_view text) {
    if (!OwnChannel(channel)) return Refused(kWrongChannel);
    if (type < 1 || type > 4) return Refused("Сначала выберите тип расходомера");
    const int address = ParseDecimalOr(text, kNotANumber);
    if (address < 1 || address > 254) return Refused("Адрес расходомера должен быть от 1 до 254");
    return Staged(WriteFlowmeterTypeAndAddress, [channel, type, address](TComThread& w) {
        w.FlowmeterTypeToWrite[size_t(channel)] = uint8_t(type);
        w.LpgAddressToWrite[size_t(channel)] = uint8_t(address);
        w.SelectedChannel = channel;
    });
}

EditOutcome FlowmeterOffsetEdit(int channel, std::string_view text) {
    if (!OwnChannel(channel)) return Refused(kWrongChannel);
    const int offset = ParseDecimalOr(text, kNotANumber);
    if (offset < -126 || offset > 126) return Refused("Смещение должно быть от -126 до +126");
    return Staged(WriteFlowmeterTempOffset, [channel, offset](TComThread& w) {
        w.FlowmeterTempOffsetToWrite[size_t(channel)] = int8_t(offset);
        w.SelectedChannel = channel;
    });
}

EditOutcome TabloColourEdit(int board, const ColourCorrection& record) {
    if (board < 0 || board >= kDisplayBoardCount) return {};
    return Staged(WriteTabloColourCorrection, [board, record](TComThread& w) {
        w.TabloColourCorrection[size_t(board)] = record;
        w.SelectedChannel = board;
    });
}

EditOutcome TabloTempOffsetEdit(int device, uint8_t offset) {
    if (device < 0 || device >= kDisplayDeviceCount) return {};
    return Staged(WriteTabloTempOffset, [device, offset](TComThread& w) {
        w.TabloTempOffsetToWrite[size_t(device)] = int8_t(offset);
        w.SelectedChannel = device;
    });
}

EditOutcome TabloTestFrameEdit(const TabloTestFrame& frame) {
    return Staged(WriteTabloTestFrame, [frame](TComThread& w) { w.TabloTestFrame = frame; });
}
