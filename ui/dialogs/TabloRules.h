#pragma once
// The display-board window's rules without widgets: its rows and columns, which cells edit
// what, and what a typed value becomes.
#include <optional>
#include <string>
#include <string_view>

#include "commands/TabloState.h"
#include "engine/DialogRows.h"

namespace TabloRow {
constexpr int Type = 0, TempOffset = 4, FirstColour = 5, LastColour = 10;
}

// Value cells of a row: every device has the main rows, only display boards the colour rows.
int TabloCellCount(int row);
// Whether a click on a row's cell of a device opens the editor. A keyboard has no colour
// cells, and a board's colours are edited only once its record has been read: the whole record
// is written back, and unread values would go out as zeros.
bool TabloCellEditable(int row, int device, bool colourRead);

// The temperature offset to send for typed text: a whole number -127..127. Other text and the
// controller's "no value" (-128) send nothing.
std::optional<uint8_t> TempOffsetToSend(std::string_view typed);

// Stores a typed colour-correction value (row 5..10) in a board's record and returns the
// text the cell shows for what was stored.
std::string ApplyColourEdit(ColourCorrection& record, int row, std::string_view typed);
