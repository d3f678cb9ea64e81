#include "cli/CliSettingsFile.h"

#include <unistd.h>

#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "commands/SettingsJson.h"
#include "link/ToolFiles.h"

using json = nlohmann::ordered_json;

namespace {

// Ends a command with lines for a person or one JSON object, as the other commands end.
int Say(const CliContext& c, const std::string& command, int exit, const std::string& error,
        const std::vector<std::string>& lines, json data = json::object()) {
    if (c.Json) {
        json out = {{"command", command}, {"exit", exit}, {"ok", exit == kExitDone}};
        if (!error.empty()) out["error"] = {{"text", error}};
        for (auto& [key, value] : data.items()) out[key] = value;
        std::cout << out.dump(2) << "\n";
    } else {
        for (const std::string& line : lines) std::cout << line << "\n";
        if (!error.empty()) std::cerr << "ornix-cli: " << command << ": " << error << "\n";
    }
    return exit;
}

// The file as a snapshot, or the refusal's exit status with the message naming the line.
std::optional<SettingsSnapshot> LoadFile(const CliContext& c, const std::string& command, const std::string& file,
                                         int& exit) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        exit = CliRefuse(c, command, "Не могу прочитать " + file);
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    SettingsFileRead parsed = SettingsFromJson(text.str());
    if (!parsed.Error.empty()) {
        exit = CliRefuse(c, command, file + ": " + parsed.Error);
        return std::nullopt;
    }
    return std::move(parsed.Snapshot);
}

// "caption (group): text" for a person; a difference keeps the group so two "Насос" differ.
std::string Named(const std::string& group, const std::string& caption) { return caption + " (" + group + ")"; }

// On a terminal a long run says how far it is on one line of stderr, rewritten in place.
std::function<void(int, int)> TerminalProgress(const std::string& what) {
    if (isatty(STDERR_FILENO) != 1) return {};
    return [what](int done, int total) {
        std::cerr << "\r\033[K" << what << " " << done << " из " << total << std::flush;
        if (done >= total) std::cerr << "\r\033[K" << std::flush;
    };
}

int LinkExit(const CliOutcome& o) { return o.Exit == kExitDone ? kExitNoLink : o.Exit; }

}  // namespace

std::shared_ptr<SettingsJob> CliReadSettings(const CliContext& c, CliOutcome& o) {
    auto job = std::make_shared<SettingsJob>();
    job->Progress = TerminalProgress("Чтение настроек");
    TCliViews v;
    o = RunCliOperation(v, c.Link, ReadSettings, StageSettingsJob(job));
    // A device that is not fitted refuses its reading: that leaves its settings out, it is no
    // failure of the read. Whether the read is whole is the job's to say.
    if (job->Complete) {
        o.Exit = kExitDone;
        o.Reason.clear();
    } else {
        o.Exit = LinkExit(o);
        // The job names what it could not read and the port's text; the run adds where it looked.
        const size_t colon = job->Error.rfind(": ");
        const std::string portText = colon == std::string::npos ? "" : job->Error.substr(colon + 2);
        if (!o.Reason.empty() && !portText.empty() && o.Reason.starts_with(portText))
            o.Reason = job->Error + o.Reason.substr(portText.size());
        else if (!job->Error.empty())
            o.Reason = o.Reason.empty() ? job->Error : job->Error + " (" + o.Reason + ")";
    }
    return job;
}

int CliSettingsSave(const CliContext& c, const std::string& file) {
    CliOutcome o;
    auto job = CliReadSettings(c, o);
    if (o.Exit != kExitDone) return Say(c, "settings save", o.Exit, o.Reason, {});
    // An older file stays whole when the new one cannot be written.
    if (!WriteFileWhole(file, SettingsToJson(job->Read)).empty())
        return Say(c, "settings save", kExitNoLink, "Не могу записать " + file, {});
    const size_t count = Rows(job->Read).size();
    return Say(c, "settings save", kExitDone, "",
               {job->Read.Identity.DeviceTypeText + ", " + job->Read.Identity.Firmware + ": " + std::to_string(count) +
                " настроек записано в " + file},
               {{"file", file}, {"settings", count}});
}

int CliSettingsDiff(const CliContext& c, const std::string& file) {
    int exit = kExitDone;
    const auto saved = LoadFile(c, "settings diff", file, exit);
    if (!saved) return exit;
    CliOutcome o;
    auto job = CliReadSettings(c, o);
    if (o.Exit != kExitDone) return Say(c, "settings diff", kExitNoLink, o.Reason, {});
    const std::vector<SettingDifference> differences = DiffSettings(job->Read, *saved);
    std::vector<std::string> lines;
    json rows = json::array();
    for (const SettingDifference& d : differences) {
        lines.push_back(Named(d.Group, d.Caption) + ": контроллер «" + d.ControllerText + "», файл «" + d.FileText + "»");
        rows.push_back({{"group", d.Group}, {"caption", d.Caption}, {"controller", d.ControllerText},
                        {"file", d.FileText}, {"key", d.Key}});
    }
    if (differences.empty()) lines.push_back("Контроллер совпадает с файлом");
    return Say(c, "settings diff", differences.empty() ? kExitDone : kExitRefused, "", lines,
               {{"differences", rows}});
}

int CliSettingsRestore(const CliContext& c, const std::string& file, bool force) {
    const std::string command = "settings restore";
    int exit = kExitDone;
    const auto saved = LoadFile(c, command, file, exit);
    if (!saved) return exit;
    CliOutcome o;
    auto read = CliReadSettings(c, o);
    if (o.Exit != kExitDone) return Say(c, command, o.Exit, o.Reason, {});
    const std::vector<std::string> keys = DifferenceKeys(DiffSettings(read->Read, *saved));
    if (keys.empty()) return Say(c, command, kExitDone, "", {"Контроллер совпадает с файлом: записывать нечего"},
                                 {{"results", json::array()}});
    // Refused before anything is written: the controller is left as it was.
    if (std::string refusal = RestoreRefusal(read->Read, *saved, keys, force); !refusal.empty())
        return CliRefuse(c, command, refusal + ". Ничего не записано");

    auto job = std::make_shared<SettingsJob>();
    job->Controller = read->Read;
    job->File = *saved;
    job->Keys = keys;
    job->Progress = TerminalProgress("Запись настроек");
    TCliViews v;
    CliOutcome written = RunCliOperation(v, c.Link, RestoreSettings, StageSettingsJob(job));

    std::vector<std::string> lines;
    json rows = json::array();
    int failures = 0;
    for (const RestoreRow& r : job->Results) {
        const std::string state = r.Verified ? "записано и проверено" : r.Written ? "записано, не подтверждено" : "не записано";
        lines.push_back(Named(r.Group, r.Caption) + " = «" + r.FileText + "»: " + state + (r.Error.empty() ? "" : ": " + r.Error));
        rows.push_back({{"group", r.Group}, {"caption", r.Caption}, {"file", r.FileText}, {"key", r.Key},
                        {"written", r.Written}, {"verified", r.Verified}, {"error", r.Error}});
        failures += !r.Verified;
    }
    if (job->Complete) return Say(c, command, kExitDone, "", lines, {{"results", rows}});
    // A link that failed on the way counts before a refusal: the controller may not have heard.
    const int status = written.Exit == kExitNoLink || job->Results.empty() ? kExitNoLink : kExitRefused;
    std::string why = failures ? std::to_string(failures) + " из " + std::to_string(job->Results.size()) +
                                     " настроек не записаны или не подтверждены"
                               : std::string();
    if (!job->Error.empty()) why += (why.empty() ? "" : "; ") + job->Error;
    return Say(c, command, status, why, lines,
               {{"results", rows}});
}
