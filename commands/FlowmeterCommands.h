#pragma once
// Operations on the flowmeters of channels 0..4: their settings (command 229/1), crypto
// diagnostics (231), type and LPGmass address (230) and crypto temperature offset (231/1).
#include "commands/FlowmeterTexts.h"

class TComThread;
class IFlowmeterView;

// Poll readers, for the flowmeter of CurrentChannel.
void ReadFlowmeterData(TComThread& w);
void ReadCryptoFlowmeterData(TComThread& w);

// Writers for SelectedChannel; the window has staged the values in the worker first.
void WriteFlowmeterType(TComThread& w);            // FlowmeterTypeToWrite
void WriteFlowmeterTypeAndAddress(TComThread& w);  // FlowmeterTypeToWrite, LpgAddressToWrite
void WriteFlowmeterTempOffset(TComThread& w);      // FlowmeterTempOffsetToWrite

// Display step of a crypto column with nothing to show (UI thread).
void ShowCryptoBlank(IFlowmeterView& view, int flowmeter, CryptoBlank kind);
// For the poll cycle: the crypto rows of CurrentChannel, which is not a crypto flowmeter.
void ShowCryptoNotPolled(TComThread& w);
