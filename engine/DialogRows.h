#pragma once
// Row catalogs of the flowmeter and display-board windows: columns, groups in display order
// and rows in index order. The windows build their views from them, and the command-line
// tester names each value it prints by them.
#include "engine/ReportCatalog.h"

// Sixteen columns: the captions and one per flowmeter 1..15.
constexpr int kFlowmeterColumnCount = 16;
constexpr int kFlowmeterValueCells = kFlowmeterColumnCount - 1;
extern const ViewCatalog kFlowmeterCatalog;

// Cells are padded per row by the display-board window.
extern const ViewCatalog kTabloCatalog;
