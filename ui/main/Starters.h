#pragma once
// The main window's starters for the flowmeter, display-board and manual test windows: each
// checks its values (a refusal goes to panel 4), stages them for the worker with the index
// the operation works on, and hands the operation over by the start rule.
#include <string>

#include "commands/TabloState.h"
#include "ui/dialogs/TabloTestPicture.h"

class TForm1;
class TFlowmeterForm;
class TTabloForm;
class TTestTabloManualForm;

void SendTabloColourCorrection(TForm1& form, int board, const ColourCorrection& record);
void SendTabloTempOffset(TForm1& form, int device, uint8_t offset);
void SendFlowmeterType(TForm1& form, int channel, int type);
void SendFlowmeterAddress(TForm1& form, int channel, int type, const std::string& text);
void SendFlowmeterOffset(TForm1& form, int channel, const std::string& text);
void SendTabloTestFrame(TForm1& form, const TabloTestFrame& frame);

// Gives the windows the starters they call.
void AttachStarters(TForm1& form, TFlowmeterForm& flowmeter, TTabloForm& tablo, TTestTabloManualForm& manualTest);
