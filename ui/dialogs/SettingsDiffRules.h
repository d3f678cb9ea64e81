#pragma once
// The rules of the settings entries of the "Сервис" menu and of the window that compares a
// controller with a settings file and writes the file's values back: without widgets.
#include <string>
#include <vector>

#include "commands/SettingsJobs.h"
#include "commands/SettingsSnapshot.h"

// The menu's entries, in menu order.
enum class SettingsTask { Save, Compare, Restore, Report };
inline constexpr const char* kSaveSettingsText = "Сохранить настройки...";
inline constexpr const char* kCompareSettingsText = "Сравнить с файлом...";
inline constexpr const char* kRestoreSettingsText = "Восстановить из файла...";
inline constexpr const char* kReportText = "Отчёт...";
inline constexpr const char* kWriteSelectedText = "Записать выбранное";
inline constexpr const char* kStopSettingsText = "Остановить работу с настройками";

// One job at a time: a second click while one reads or writes is told so, and starts nothing.
std::string SettingsBusyText(SettingsTask running);

// A settings file read for a comparison or a restore: why it cannot be used, or empty.
struct LoadedSettingsFile {
    SettingsSnapshot Snapshot;
    std::string Error;  // names the file, and the line where the text is not a settings file
};
// `text` as read from `path`; `readError` when the file could not be read at all.
LoadedSettingsFile SettingsFileFromText(const std::string& path, const std::string& text, const std::string& readError);

// What a read of the controller gave, for the message panel: empty when it may be used.
// A snapshot that is not whole is kept nowhere: a file of half the settings would pass for all.
std::string IncompleteReadText(const SettingsJob& job);

// The rows of the table: group, caption, the controller's text, the file's text.
struct DiffRowTexts {
    std::string Group, Caption, Controller, File;
};
DiffRowTexts DiffRowTextsOf(const SettingDifference& difference);
// The line above the table after a comparison.
std::string CompareSummary(size_t differences, const std::string& file);

// The keys of the rows that are checked, in the table's order.
std::vector<std::string> CheckedKeys(const std::vector<SettingDifference>& rows, const std::vector<bool>& checked);
// "Записать выбранное" while no job runs and something is checked.
bool WriteSelectedEnabled(const std::vector<bool>& checked, bool jobRunning);

// What became of a row: "записано, проверено", the controller's error, or "не записано" for a
// row the restore did not reach (stopped, the line lost). `result` is null for such a row.
std::string RestoreResultText(const RestoreRow* result);
bool RestoreRowVerified(const RestoreRow* result);
// The result of each written key, by key; null where it has none.
const RestoreRow* ResultOf(const std::vector<RestoreRow>& results, const std::string& key);
// The line above the table when a restore has ended.
std::string RestoreSummary(const SettingsJob& job, size_t asked);
