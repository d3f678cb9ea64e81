#include "cli/CliPollNames.h"

#include "engine/DialogRows.h"
#include "engine/StatusRows.h"

const std::vector<NamedView>& PollViews() {
    static const std::vector<NamedView> views = {
        {"controller", "", &kTrkStatusCatalog, true},
        {"channels", "", &kChStatusCatalog, false},
        {"valves", "", &kValveCatalog, false},
        {"flowmeters", "Расходомеры", &kFlowmeterCatalog, false},
        {"displays", "Tablo", &kTabloCatalog, false},
    };
    return views;
}

std::string CellColumnCaption(const ViewCatalog& catalog, int cell) {
    const size_t column = size_t(cell) + 1;
    if (column < catalog.columns.size()) return catalog.columns[column].caption;
    // The window adds columns as "<word> <number>" after the designed ones.
    std::string word = catalog.columns.size() > 1 ? catalog.columns.back().caption : "";
    word = word.substr(0, word.find_last_of(' ') == std::string::npos ? 0 : word.find_last_of(' ') + 1);
    return word + std::to_string(cell + 1);
}

namespace {

using Cells = std::map<std::pair<int, int>, std::string>;

// Rows of one group (kNoGroup: every row of a view without groups), in index order.
void NameGroup(const NamedView& view, int group, const Cells& cells, std::vector<std::string>& lines,
               nlohmann::ordered_json& out, const std::string& indent) {
    const auto& rows = view.Catalog->rows;
    for (const auto& [at, text] : cells) {
        const auto& [row, cell] = at;
        if (row < 0 || size_t(row) >= rows.size() || rows[size_t(row)].group != group) continue;
        const std::string caption = rows[size_t(row)].caption;
        if (view.OneValue) {
            out[caption] = text;
            lines.push_back(indent + caption + ": " + text);
        } else {
            out[caption][std::to_string(cell + 1)] = text;
            lines.push_back(indent + caption + " [" + CellColumnCaption(*view.Catalog, cell) + "]: " + text);
        }
    }
}

}  // namespace

void NameCells(const NamedView& view, const Cells& cells, std::vector<std::string>& lines,
               nlohmann::ordered_json& out) {
    out = nlohmann::ordered_json::object();
    if (view.Catalog->groups.empty()) {
        NameGroup(view, kNoGroup, cells, lines, out, "");
        return;
    }
    for (const ViewGroup& group : view.Catalog->groups) {
        nlohmann::ordered_json rows = nlohmann::ordered_json::object();
        std::vector<std::string> groupLines;
        NameGroup(view, group.id, cells, groupLines, rows, "  ");
        if (rows.empty()) continue;
        out[group.caption] = std::move(rows);
        lines.push_back(*view.Title ? std::string(view.Title) + ": " + group.caption : group.caption);
        lines.insert(lines.end(), groupLines.begin(), groupLines.end());
    }
}
