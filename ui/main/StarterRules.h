#pragma once
// The starters the flowmeter, display-board and manual test windows call, as rules: the values
// in, the write operation with the step that stages them (or the message for panel 4) out.
#include <cstdint>
#include <string_view>

#include "commands/TabloState.h"
#include "ui/dialogs/TabloTestPicture.h"
#include "ui/main/EditRules.h"

// Only the controller's own five channels have flowmeters the tool can set.
EditOutcome FlowmeterTypeEdit(int channel, int type);
// The LPGmass address goes out with the flowmeter's type, so an unknown type (0) sends nothing.
EditOutcome FlowmeterAddressEdit(int channel, int type, std::string_view text);
EditOutcome FlowmeterOffsetEdit(int channel, std::string_view text);

// The display-board writers check nothing but an index the tables have room for.
EditOutcome TabloColourEdit(int board, const ColourCorrection& record);
EditOutcome TabloTempOffsetEdit(int device, uint8_t offset);
EditOutcome TabloTestFrameEdit(const TabloTestFrame& frame);
