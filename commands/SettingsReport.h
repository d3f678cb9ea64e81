#pragma once
// The commissioning record of a controller: identification, every setting in the groups the
// windows show, the counters and totals, when it was read and by which tool, on one page of
// HTML. The page comes from a template whose {{name}} placeholders are filled with escaped
// values, so a fuel name such as "<b>" or "{{date}}" is printed as typed. The window prints
// the page to PDF; ornix-cli writes it as it stands.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "commands/SettingsSnapshot.h"

struct CommissioningReport {
    std::string Device;                     // the headline: the device type
    std::vector<SettingRow> Identification; // Group unused
    std::vector<SettingRow> Settings;       // in the windows' order
    std::vector<SettingRow> Counters;       // likewise
    std::string ReadAt;                     // when the controller was read
    std::string Tool;                       // "ornix-tester 1.0.0"
};

// The record of what a read of the controller gave.
CommissioningReport CommissioningReportOf(const SettingsSnapshot& snapshot, const std::string& tool);

// "&", "<", ">", '"' and "'" as entities; everything else as it stands.
std::string HtmlEscaped(std::string_view text);

// Every {{name}} of the template replaced by its value, in one pass: a value is never searched
// for placeholders itself. A placeholder without a value is left as it stands.
std::string FilledTemplate(std::string_view page, const std::map<std::string, std::string>& values);

// The page's template; its placeholders are those CommissioningReportHtml fills.
extern const std::string_view kCommissioningTemplate;

// Groups named with a number at the end ("Канал 1", "Канал 2", ...) that follow one another
// form one table with a column each, as the channel view shows channels; the other groups
// share two columns of caption and value.
std::string CommissioningReportHtml(const CommissioningReport& report);

// What a report is written as, by the file's extension (any case); None for anything else.
enum class ReportFormat { None, Html, Pdf };
ReportFormat ReportFormatOf(std::string_view path);
// The message for a path that is neither, naming it.
std::string ReportFormatRefusal(std::string_view path);
