#include "commands/SettingsJobs.h"

#include "engine/ComThreadUnit.h"

void ReadSettings(TComThread&) {}
void RestoreSettings(TComThread&) {}
std::function<void(TComThread&)> StageSettingsJob(std::shared_ptr<SettingsJob>) { return {}; }
std::string RestoreRefusal(const SettingsSnapshot&, const SettingsSnapshot&, const std::vector<std::string>&, bool) {
    return {};
}
std::vector<std::string> DifferenceKeys(const std::vector<SettingDifference>&) { return {}; }
