#pragma once
// What a report view shows, as a table to copy or save: "Копировать" (Ctrl+C) puts it on the
// clipboard as tab-separated text, which a spreadsheet takes cell by cell; "Сохранить CSV..."
// writes it to a file. Row captions are the first column, the column captions the first row,
// a group header a row of its own; hidden rows and columns are left out.
#include <QString>
#include <string>
#include <vector>

class ReportView;

struct ReportTable {
    std::vector<std::vector<std::string>> Rows;  // the first one holds the column captions
};

enum class TableFormat { Tsv, Csv };

// Plain text of a table. TSV: tabs and line breaks inside a cell become blanks, so every cell
// stays one cell. CSV: comma-separated, a cell with a comma, quote or line break is quoted
// (quotes doubled). Lines end with "\n"; a table without rows is empty.
std::string TableText(const ReportTable& table, TableFormat format);

// The table as the view shows it now: groups and rows in display order, the texts of the cells.
ReportTable ReportTableOf(const ReportView& view);

// False when the file could not be written.
bool SaveReportCsv(const ReportView& view, const QString& path);
void CopyReport(const ReportView& view);

// Gives the view its "Копировать" (Ctrl+C) and "Сохранить CSV..." actions, in its context menu.
void InstallReportExport(ReportView& view);
