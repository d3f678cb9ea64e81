#pragma once
// The controller's small settings outside the configuration pages: flowmeter
// supervision, display-board cut-off, night brightness and test step, reduction
// constants (also on the sub-controller boards), and the write-only per-channel
// settings. Readers fill the state record and the main window; writers send what a
// window staged in the record and report only the result code.
#include <string>
#include <utility>
#include <vector>

class TComThread;
struct TDeviceState;

// Readers of the start-up synchronisation and of every pass.
void ReadFlowmeterTimeout(TComThread& w);
void ReadTabloCutOff(TComThread& w);
void ReadNightBright(TComThread& w);
void ReadTabloTestStepTime(TComThread& w);
void ReadReductionConst(TComThread& w);  // channel CurrentChannel

// Writers of staged values.
void WriteFlowmeterTimeout(TComThread& w);
void WriteFlowmeterParams(TComThread& w);
void WriteTabloCutOff(TComThread& w);
void WriteNightBright(TComThread& w);
void WriteTabloTestStepTime(TComThread& w);
void WriteReductionConst(TComThread& w);       // channel SelectedChannel
void WritePumpRampUpTime(TComThread& w);       // channel SelectedChannel
void WriteNozzleColours(TComThread& w);        // channel SelectedChannel
void WriteFuelName(TComThread& w);             // channel SelectedChannel
void WriteVrxAddress(TComThread& w);           // channel SelectedChannel
void WriteTabloColourCorrection(TComThread& w);// display board SelectedChannel (0..3)
void WriteTabloTempOffset(TComThread& w);      // display device SelectedChannel (0..6)

// Texts of TRK_StatusListView rows 12..23 for the stored flowmeter settings:
// the timeout always, the block only when it has been read, the last two rows only
// when this answer carried the full block.
using RowTexts = std::vector<std::pair<int, std::string>>;
RowTexts FlowmeterParamRowTexts(const TDeviceState& s, bool fullAnswer);

// Text of a reduction-constant cell: "---" while the channel's board is absent.
std::string ReductionConstText(const TDeviceState& s, int channel);
