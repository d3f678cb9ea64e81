#pragma once
// The commissioning record of a controller: identification, every setting in the groups the
// windows show, the totals of each channel, when it was read and by which tool, on one page of
// HTML. The page comes from a template whose {{name}} placeholders are filled with escaped
// values, so a fuel name such as "<b>" or "{{date}}" is printed as typed. Plain text in, plain
// text out: the window prints it to PDF, ornix-cli writes it as it stands.
#include <map>
#include <string>
#include <string_view>
#include <vector>

struct ReportLine {
    std::string Group;    // rows of one group stand together, in the order they come
    std::string Caption;
    std::string Text;
};

struct CommissioningReport {
    std::string Device;                   // the headline: device type and bus address
    std::vector<ReportLine> Identification;
    std::vector<ReportLine> Settings;
    std::vector<std::string> TotalsColumns;          // "Канал 1", "Канал 2", ...
    std::vector<std::string> TotalsCaptions;         // one per totals row
    std::vector<std::vector<std::string>> Totals;    // [row][channel]
    std::string ReadAt;                   // when the controller was read
    std::string Tool;                     // "ornix-tester 1.0.0"
};

// "&", "<", ">", '"' and "'" as entities; everything else as it stands.
std::string HtmlEscaped(std::string_view text);

// Every {{name}} of the template replaced by its value, in one pass: a value is never searched
// for placeholders itself. A placeholder without a value is left as it stands.
std::string FilledTemplate(std::string_view page, const std::map<std::string, std::string>& values);

// The page's template; its placeholders are those CommissioningReportHtml fills.
extern const std::string_view kCommissioningTemplate;

std::string CommissioningReportHtml(const CommissioningReport& report);

// What a report is written as, by the file's extension (any case); None for anything else.
enum class ReportFormat { None, Html, Pdf };
ReportFormat ReportFormatOf(std::string_view path);
// The message for a path that is neither, naming it.
std::string ReportFormatRefusal(std::string_view path);
