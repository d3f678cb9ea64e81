#include "commands/SettingsReport.h"

#include <algorithm>
#include <cctype>

const std::string_view kCommissioningTemplate = R"(<!DOCTYPE html>
<html lang="ru">
<head>
<meta charset="utf-8">
<title>Настройки контроллера ТРК {{device}}</title>
<style>
body { font-family: "DejaVu Sans", Arial, sans-serif; font-size: 7pt; }
h1 { font-size: 11pt; margin-top: 0; margin-bottom: 2pt; }
h2 { font-size: 8pt; margin-top: 6pt; margin-bottom: 2pt; }
p { margin-top: 0; margin-bottom: 4pt; }
table.rows { border-collapse: collapse; width: 100%; margin-bottom: 4pt; }
table.rows td, table.rows th { border: 1px solid #999999; padding: 1px 3px; }
td.group { background-color: #e4e4e4; font-weight: bold; }
th { background-color: #e4e4e4; text-align: left; }
td.value, td.number { white-space: nowrap; }
td.number { text-align: right; }
</style>
</head>
<body>
<h1>Настройки контроллера ТРК {{device}}</h1>
<p>Прочитаны с контроллера {{read_at}}; отчёт составлен программой {{tool}}.</p>
<table width="100%" cellspacing="0" cellpadding="0"><tr>
<td width="50%" valign="top" style="padding-right: 4pt;">
{{left}}
</td>
<td width="50%" valign="top" style="padding-left: 4pt;">
{{right}}
</td>
</tr></table>
<h2>Счётчики и суммарники</h2>
{{totals}}
<p>&nbsp;</p>
<p>Настройку выполнил: ______________________________ &nbsp;&nbsp;&nbsp;&nbsp; Принял: ______________________________</p>
</body>
</html>
)";

namespace {

struct Block {
    std::string caption;
    std::vector<const ReportLine*> lines;
};

// Rows of one group that stand together; a group that comes back later is a block of its own.
std::vector<Block> Blocks(const std::vector<ReportLine>& identification, const std::vector<ReportLine>& settings) {
    std::vector<Block> blocks;
    if (!identification.empty()) {
        blocks.push_back({"Идентификация", {}});
        for (const ReportLine& line : identification) blocks.back().lines.push_back(&line);
    }
    bool first = true;
    for (const ReportLine& line : settings) {
        if (first || blocks.back().caption != line.Group) blocks.push_back({line.Group, {}});
        first = false;
        blocks.back().lines.push_back(&line);
    }
    return blocks;
}

std::string BlocksTable(std::vector<Block>::const_iterator from, std::vector<Block>::const_iterator to) {
    std::string html = "<table class=\"rows\" border=\"1\" cellspacing=\"0\" cellpadding=\"1\" width=\"100%\">\n";
    for (auto block = from; block != to; ++block) {
        html += "<tr><td class=\"group\" colspan=\"2\">" + HtmlEscaped(block->caption) + "</td></tr>\n";
        for (const ReportLine* line : block->lines)
            html += "<tr><td>" + HtmlEscaped(line->Caption) + "</td><td class=\"value\">" + HtmlEscaped(line->Text) +
                    "</td></tr>\n";
    }
    return html + "</table>";
}

std::string TotalsTable(const CommissioningReport& r) {
    if (r.TotalsColumns.empty()) return "<p>Не прочитаны.</p>";
    std::string html = "<table class=\"rows\" border=\"1\" cellspacing=\"0\" cellpadding=\"1\" width=\"100%\">\n<tr><th></th>";
    for (const std::string& column : r.TotalsColumns) html += "<th>" + HtmlEscaped(column) + "</th>";
    html += "</tr>\n";
    for (size_t row = 0; row < r.TotalsCaptions.size(); ++row) {
        html += "<tr><td>" + HtmlEscaped(r.TotalsCaptions[row]) + "</td>";
        for (size_t column = 0; column < r.TotalsColumns.size(); ++column) {
            const bool known = row < r.Totals.size() && column < r.Totals[row].size();
            html += "<td class=\"number\">" + (known ? HtmlEscaped(r.Totals[row][column]) : std::string()) + "</td>";
        }
        html += "</tr>\n";
    }
    return html + "</table>";
}

}  // namespace

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
    const std::vector<Block> blocks = Blocks(r.Identification, r.Settings);
    // Two columns of about equal height, a group never split, so that the page stays one page:
    // a group goes left while its middle is in the upper half of all rows.
    size_t total = 0;
    for (const Block& b : blocks) total += b.lines.size() + 1;
    size_t left = 0;
    auto split = blocks.begin();
    while (split != blocks.end() && 2 * (left + split->lines.size() + 1) <= total + split->lines.size() + 1) {
        left += split->lines.size() + 1;
        ++split;
    }
    return FilledTemplate(kCommissioningTemplate, {{"device", HtmlEscaped(r.Device)},
                                                   {"read_at", HtmlEscaped(r.ReadAt)},
                                                   {"tool", HtmlEscaped(r.Tool)},
                                                   {"left", BlocksTable(blocks.begin(), split)},
                                                   {"right", BlocksTable(split, blocks.end())},
                                                   {"totals", TotalsTable(r)}});
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
