#include "commands/SettingsReport.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <span>

#include "engine/StatusRows.h"
#include "engine/TextHelpers.h"

const std::string_view kCommissioningTemplate = R"(<!DOCTYPE html>
<html lang="ru">
<head>
<meta charset="utf-8">
<title>Настройки контроллера ТРК {{device}}</title>
<style>
body { font-family: "DejaVu Sans", Arial, sans-serif; font-size: 7pt; }
p { margin-top: 0; margin-bottom: 3pt; }
p.title { font-size: 11pt; font-weight: bold; margin-bottom: 1pt; }
p.section { font-size: 8pt; font-weight: bold; margin-top: 4pt; margin-bottom: 2pt; }
table.rows { border-collapse: collapse; margin-bottom: 3pt; }
table.rows td, table.rows th { border: 1px solid #999999; padding: 0px 3px; }
td.group, th { background-color: #e4e4e4; font-weight: bold; text-align: left; }
td.value, td.caption, th { white-space: nowrap; }
</style>
</head>
<body>
<p class="title">Настройки контроллера ТРК {{device}}</p>
<p>Прочитаны с контроллера {{read_at}}; отчёт составлен программой {{tool}}.</p>
<table width="100%" cellspacing="0" cellpadding="0"><tr>
<td width="50%" valign="top" style="padding-right: 4pt;">
{{left}}
</td>
<td width="50%" valign="top" style="padding-left: 4pt;">
{{right}}
</td>
</tr></table>
{{tables}}
<p class="section">Счётчики и суммарники</p>
{{counters}}
<p>&nbsp;</p>
<p>Настройку выполнил: ______________________________ &nbsp;&nbsp;&nbsp;&nbsp; Принял: ______________________________</p>
</body>
</html>
)";

namespace {

constexpr size_t kMembersPerTable = 6;
constexpr const char* kTableOpen = "<table class=\"rows\" border=\"1\" cellspacing=\"0\" cellpadding=\"1\" width=\"100%\">\n";

struct Block {
    std::string caption;
    std::vector<const SettingRow*> rows;
};

// Rows of one group that stand together; a group that comes back later is a block of its own.
std::vector<Block> Blocks(const std::vector<SettingRow>& rows) {
    std::vector<Block> blocks;
    for (const SettingRow& row : rows) {
        if (blocks.empty() || blocks.back().caption != row.Group) blocks.push_back({row.Group, {}});
        blocks.back().rows.push_back(&row);
    }
    return blocks;
}

// "Канал 12" is of the family "Канал"; a group without a number at the end is of none.
std::string FamilyOf(const std::string& group) {
    const size_t blank = group.find_last_of(' ');
    if (blank == std::string::npos || blank + 1 == group.size()) return {};
    const bool number = std::all_of(group.begin() + long(blank) + 1, group.end(),
                                    [](unsigned char c) { return std::isdigit(c) != 0; });
    return number ? group.substr(0, blank) : std::string();
}

// A row of one member of a group: "Канал 2: Шланги" (member "Канал 2", label "Шланги") or
// "Инверсия : 3" (member "3", label "Инверсия"). Empty member for any other caption.
struct MemberRow {
    std::string member, label;
};
MemberRow MemberOf(const std::string& caption) {
    if (const size_t colon = caption.find(": "); colon != std::string::npos && colon > 0 && caption[colon - 1] != ' ') {
        const std::string member = caption.substr(0, colon);
        if (!FamilyOf(member).empty()) return {member, caption.substr(colon + 2)};
    }
    if (const size_t colon = caption.rfind(" : "); colon != std::string::npos && colon + 3 < caption.size()) {
        const std::string number = caption.substr(colon + 3);
        if (std::all_of(number.begin(), number.end(), [](unsigned char c) { return std::isdigit(c) != 0; }))
            return {number, caption.substr(0, colon)};
    }
    return {};
}

// Values with a column per member and a row per label, as the channel view shows channels.
struct Grid {
    std::string title;                   // the corner cell
    std::vector<const SettingRow*> plain;  // rows of no member, above the others
    std::vector<std::string> members, labels;
    std::map<std::pair<std::string, std::string>, std::string> cells;  // (member, label) -> text

    void Add(const std::string& member, const std::string& label, const std::string& text) {
        if (std::find(members.begin(), members.end(), member) == members.end()) members.push_back(member);
        if (std::find(labels.begin(), labels.end(), label) == labels.end()) labels.push_back(label);
        cells.emplace(std::pair{member, label}, text);
    }
};

std::string GridTables(const Grid& grid) {
    // Fifteen channels side by side would not fit the page: tables of a few at a time, as many
    // in each as the others have (15 as three of five).
    const size_t tables = std::max<size_t>(1, (grid.members.size() + kMembersPerTable - 1) / kMembersPerTable);
    const size_t perTable = std::max<size_t>(1, (grid.members.size() + tables - 1) / tables);
    std::string html;
    for (size_t first = 0; first == 0 || first < grid.members.size(); first += perTable) {
        const auto shown = std::span(grid.members).subspan(first, std::min(perTable, grid.members.size() - first));
        html += std::string(kTableOpen) + "<tr><th>" + HtmlEscaped(grid.title) + "</th>";
        for (const std::string& member : shown) html += "<th>" + HtmlEscaped(member) + "</th>";
        html += "</tr>\n";
        if (first == 0)
            for (const SettingRow* row : grid.plain)
                html += "<tr><td class=\"caption\">" + HtmlEscaped(row->Caption) + "</td><td class=\"value\" colspan=\"" +
                        std::to_string(std::max<size_t>(1, shown.size())) + "\">" + HtmlEscaped(row->Text) + "</td></tr>\n";
        for (const std::string& label : grid.labels) {
            html += "<tr><td class=\"caption\">" + HtmlEscaped(label) + "</td>";
            for (const std::string& member : shown) {
                const auto cell = grid.cells.find({member, label});
                html += "<td class=\"value\">" + (cell != grid.cells.end() ? HtmlEscaped(cell->second) : std::string()) +
                        "</td>";
            }
            html += "</tr>\n";
        }
        html += "</table>\n";
    }
    return html;
}

std::string PairsTable(const std::vector<Block>& blocks) {
    if (blocks.empty()) return {};
    std::string html = kTableOpen;
    for (const Block& block : blocks) {
        html += "<tr><td class=\"group\" colspan=\"2\">" + HtmlEscaped(block.caption) + "</td></tr>\n";
        for (const SettingRow* row : block.rows)
            html += "<tr><td>" + HtmlEscaped(row->Caption) + "</td><td class=\"value\">" + HtmlEscaped(row->Text) +
                    "</td></tr>\n";
    }
    return html + "</table>\n";
}

// A group whose rows are mostly of several members ("Канал 1: ...", "Канал 2: ...") is a grid.
std::optional<Grid> GroupGrid(const Block& block) {
    Grid grid;
    grid.title = block.caption;
    for (const SettingRow* row : block.rows) {
        const MemberRow m = MemberOf(row->Caption);
        if (m.member.empty()) grid.plain.push_back(row);
        else grid.Add(m.member, m.label, row->Text);
    }
    if (grid.members.size() < 2 || grid.plain.size() * 2 >= block.rows.size()) return std::nullopt;
    return grid;
}

struct Layout {
    std::vector<Block> pairs;  // caption and value
    std::string tables;        // grids: families of groups and groups of members
};

Layout Laid(const std::vector<Block>& blocks) {
    Layout layout;
    for (auto block = blocks.begin(); block != blocks.end();) {
        const std::string family = FamilyOf(block->caption);
        if (family.empty()) {
            if (const auto grid = GroupGrid(*block)) layout.tables += GridTables(*grid);
            else layout.pairs.push_back(*block);
            ++block;
            continue;
        }
        Grid grid;
        for (; block != blocks.end() && FamilyOf(block->caption) == family; ++block)
            for (const SettingRow* row : block->rows) grid.Add(block->caption, row->Caption, row->Text);
        layout.tables += GridTables(grid);
    }
    return layout;
}

}  // namespace

CommissioningReport CommissioningReportOf(const SettingsSnapshot& s, const std::string& tool) {
    CommissioningReport r;
    r.Device = s.Identity.DeviceTypeText;
    const auto caption = [](int row) { return std::string(kTrkStatusCatalog.rows[size_t(row)].caption); };
    constexpr int kTypeRow = 0, kFirmwareRow = 1, kMd5Row = 2, kVrxIdRow = 7;
    r.Identification = {{"", caption(kTypeRow), s.Identity.DeviceTypeText, ""},
                        {"", caption(kFirmwareRow), s.Identity.Firmware, ""},
                        {"", caption(kMd5Row), s.Identity.Md5, ""},
                        {"", caption(kVrxIdRow), UnsignedText(s.Identity.VrxId), ""}};
    r.Settings = Rows(s);
    for (const SettingsSnapshot::Counter& c : s.Counters) r.Counters.push_back({c.Group, c.Caption, c.Text, ""});
    r.ReadAt = s.ReadAt;
    r.Tool = tool;
    return r;
}

std::string HtmlEscaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string FilledTemplate(std::string_view page, const std::map<std::string, std::string>& values) {
    std::string out;
    size_t at = 0;
    while (at < page.size()) {
        const size_t open = page.find("{{", at);
        const size_t close = open == std::string_view::npos ? open : page.find("}}", open + 2);
        if (close == std::string_view::npos) break;
        out += page.substr(at, open - at);
        const auto value = values.find(std::string(page.substr(open + 2, close - open - 2)));
        out += value != values.end() ? std::string_view(value->second) : page.substr(open, close + 2 - open);
        at = close + 2;
    }
    out += page.substr(std::min(at, page.size()));
    return out;
}

std::string CommissioningReportHtml(const CommissioningReport& r) {
    std::vector<Block> blocks;
    if (!r.Identification.empty()) {
        blocks.push_back({"Идентификация", {}});
        for (const SettingRow& row : r.Identification) blocks.back().rows.push_back(&row);
    }
    Layout settings = Laid(Blocks(r.Settings));
    blocks.insert(blocks.end(), settings.pairs.begin(), settings.pairs.end());
    // Two columns of about equal height, a group never split, so that the page stays one page:
    // a group goes left while its middle is in the upper half of all rows.
    size_t total = 0;
    for (const Block& b : blocks) total += b.rows.size() + 1;
    size_t left = 0;
    auto split = blocks.begin();
    while (split != blocks.end() && 2 * left + split->rows.size() + 1 <= total) {
        left += split->rows.size() + 1;
        ++split;
    }
    const Layout counters = Laid(Blocks(r.Counters));
    const std::string countersHtml = counters.tables + PairsTable(counters.pairs);
    return FilledTemplate(kCommissioningTemplate,
                          {{"device", HtmlEscaped(r.Device)},
                           {"read_at", HtmlEscaped(r.ReadAt)},
                           {"tool", HtmlEscaped(r.Tool)},
                           {"left", PairsTable({blocks.begin(), split})},
                           {"right", PairsTable({split, blocks.end()})},
                           {"tables", settings.tables},
                           {"counters", countersHtml.empty() ? "<p>Не прочитаны.</p>" : countersHtml}});
}

ReportFormat ReportFormatOf(std::string_view path) {
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return ReportFormat::None;
    std::string extension(path.substr(dot + 1));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (extension == "html" || extension == "htm") return ReportFormat::Html;
    if (extension == "pdf") return ReportFormat::Pdf;
    return ReportFormat::None;
}

std::string ReportFormatRefusal(std::string_view path) {
    return "отчёт пишется в файл .html или .pdf, а не в " + std::string(path);
}
