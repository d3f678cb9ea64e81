#pragma once
// The flowmeter window's rules without widgets: its rows, columns and hints, which cells
// edit what, and the type list.
#include <array>
#include <cstdint>
#include <string>

#include "engine/DialogRows.h"

// Items of FlowmeterTypeCombo: item i is flowmeter type i + 1.
inline constexpr std::array<const char*, 4> kFlowmeterTypeItems = {"2х-канальный", "Квадратурный", "Крипто",
                                                                  "LPGmass"};
extern const char* const kFlowmeterTypeHint;

// Item of the type list for a reported type; -1 (nothing selected) for 0 and unknown types.
int FlowmeterTypeItem(int type);

// The cells the engineer edits in place.
enum class FlowmeterEditor { None, TypeList, Text };
FlowmeterEditor EditorOfRow(int row);

// Hint of a cell: the caption column explains its row, the crypto status cell its code;
// every other cell has none.
std::string FlowmeterHint(int row, int column, int cryptoStatus);
