#include "ui/main/Starters.h"

#include "ui/dialogs/FlowmeterUnit.h"
#include "ui/dialogs/Tablo.h"
#include "ui/dialogs/TestTabloManualUnit.h"
#include "ui/main/MainUnit.h"
#include "ui/main/StarterRules.h"

namespace {
// A refusal is shown in panel 4; an accepted value goes to the worker by the start rule.
void Start(TForm1& form, const EditOutcome& outcome) {
    if (!outcome.Error.empty()) form.SetErrorText(outcome.Error);
    else if (outcome.Accepted()) form.RunOperation(outcome.Write, outcome.Stage);
}
}  // namespace

void SendTabloColourCorrection(TForm1& form, int board, const ColourCorrection& record) {
    Start(form, TabloColourEdit(board, record));
}
void SendTabloTempOffset(TForm1& form, int device, uint8_t offset) { Start(form, TabloTempOffsetEdit(device, offset)); }
void SendFlowmeterType(TForm1& form, int channel, int type) { Start(form, FlowmeterTypeEdit(channel, type)); }
void SendFlowmeterAddress(TForm1& form, int channel, int type, const std::string& text) {
    Start(form, FlowmeterAddressEdit(channel, type, text));
}
void SendFlowmeterOffset(TForm1& form, int channel, const std::string& text) {
    Start(form, FlowmeterOffsetEdit(channel, text));
}
void SendTabloTestFrame(TForm1& form, const TabloTestFrame& frame) { Start(form, TabloTestFrameEdit(frame)); }

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
