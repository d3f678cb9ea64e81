#pragma once
// The cells of a poll named as an engineer reads them: by the view, the group and row caption
// of the window's catalog, and the channel (flowmeter, valve, device) from 1. Row numbers and
// widget names stay inside; a script gets keys that do not move when a row is added.
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "engine/ReportCatalog.h"

struct NamedView {
    const char* Key;         // the JSON key: "controller", "channels", ...
    const char* Title;       // put before the group captions of a view of another window, or ""
    const ViewCatalog* Catalog;
    bool OneValue;           // one value column: a row holds its text, not texts per column
};

// The five views the poll fills, in the order they are printed.
const std::vector<NamedView>& PollViews();

// Caption of value cell `cell` (0-based): the catalog's column, or one more of its kind for a
// column the window adds ("Канал 6").
std::string CellColumnCaption(const ViewCatalog& catalog, int cell);

// Lines for a person ("Напряжение питания, (В): 24 В" under its group) and the JSON object
// view -> group -> row caption [-> column number] -> text. Groups and rows in the window's
// order; a view without groups has no group level. Cells of rows the catalog lacks are left out.
void NameCells(const NamedView& view, const std::map<std::pair<int, int>, std::string>& cells,
               std::vector<std::string>& lines, nlohmann::ordered_json& out);
