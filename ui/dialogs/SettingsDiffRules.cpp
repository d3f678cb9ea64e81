#include "ui/dialogs/SettingsDiffRules.h"

#include <algorithm>
#include <string_view>

#include "commands/SettingsJson.h"

std::string SettingsBusyText(SettingsTask running) {
    switch (running) {
    case SettingsTask::Save: return "Подождите: настройки ещё сохраняются";
    case SettingsTask::Compare: return "Подождите: настройки ещё читаются для сравнения";
    case SettingsTask::Restore: return "Подождите: настройки ещё записываются";
    case SettingsTask::Report: return "Подождите: настройки ещё читаются для отчёта";
    }
    return {};
}

LoadedSettingsFile SettingsFileFromText(const std::string& path, const std::string& text, const std::string& readError) {
    LoadedSettingsFile loaded;
    if (!readError.empty()) {
        loaded.Error = "Не могу прочитать " + path + ": " + readError;
        return loaded;
    }
    auto parsed = SettingsFromJson(text);
    if (!parsed.Error.empty()) {
        loaded.Error = path + ": " + parsed.Error;
        return loaded;
    }
    loaded.Snapshot = std::move(parsed.Snapshot);
    return loaded;
}

std::string IncompleteReadText(const SettingsJob& job) {
    if (job.Complete) return {};
    return "Настройки прочитаны не все" + (job.Error.empty() ? std::string() : ": " + job.Error);
}

DiffRowTexts DiffRowTextsOf(const SettingDifference& d) {
    // A setting the controller does not have now (its board is absent) is shown as such.
    return {d.Group, d.Caption, d.ControllerText.empty() ? "нет" : d.ControllerText, d.FileText};
}

std::string CompareSummary(size_t differences, const std::string& file) {
    if (differences == 0) return "Настройки контроллера совпадают с файлом " + file;
    return "Отличий от файла " + file + ": " + std::to_string(differences);
}

std::vector<std::string> CheckedKeys(const std::vector<SettingDifference>& rows, const std::vector<bool>& checked) {
    std::vector<std::string> keys;
    for (size_t i = 0; i < rows.size() && i < checked.size(); ++i)
        if (checked[i]) keys.push_back(rows[i].Key);
    return keys;
}

bool WriteSelectedEnabled(const std::vector<bool>& checked, bool jobRunning) {
    return !jobRunning && std::find(checked.begin(), checked.end(), true) != checked.end();
}

bool RestoreRowVerified(const RestoreRow* r) { return r && r->Written && r->Verified; }

std::string RestoreResultText(const RestoreRow* r) {
    if (!r) return "не записано";
    if (RestoreRowVerified(r)) return "записано, проверено";
    // The row's state is said first in the same words for every row; a reason that says it
    // again loses its own prefix.
    std::string reason = r->Error;
    for (const std::string_view said : {"Не записано: ", "Не проверено: "})
        if (reason.rfind(said, 0) == 0) reason.erase(0, said.size());
    const std::string why = reason.empty() ? std::string() : ": " + reason;
    return (r->Written ? "записано, не проверено" : "не записано") + why;
}

const RestoreRow* ResultOf(const std::vector<RestoreRow>& results, const std::string& key) {
    // A key written twice (configuration before what depends on it) counts by its last result.
    const auto found = std::find_if(results.rbegin(), results.rend(), [&](const RestoreRow& r) { return r.Key == key; });
    return found == results.rend() ? nullptr : &*found;
}

std::string RestoreSummary(const SettingsJob& job, size_t asked) {
    size_t verified = 0;
    for (const std::string& key : job.Keys)
        if (RestoreRowVerified(ResultOf(job.Results, key))) ++verified;
    std::string text = "Записано и проверено " + std::to_string(verified) + " из " + std::to_string(asked);
    if (!job.Complete && !job.Error.empty()) text += "; " + job.Error;
    else if (!job.Complete && job.StopRequested.load()) text += "; остановлено";
    return text;
}
