#pragma once
// Row catalogs of the main window's three status views: columns, groups in display order,
// and per row its group, caption and hint. Indices are fixed; the filling operations use them.
#include <string_view>

#include "engine/ReportCatalog.h"

extern const ViewCatalog kTrkStatusCatalog;
extern const ViewCatalog kChStatusCatalog;
extern const ViewCatalog kValveCatalog;

// Hint shown for a row: its own hint, else its caption; empty for no row.
std::string_view HintOfRow(const ViewCatalog& catalog, int row);

// Rows the poll and the editors address by index.
namespace TrkRow {
inline constexpr int DoorSensors = 9;
}
namespace ChRow {
inline constexpr int FuelName = 23;
inline constexpr int LiftedColour = 24;
inline constexpr int RestingColour = 25;
}
