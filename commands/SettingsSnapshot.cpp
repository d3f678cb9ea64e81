#include "commands/SettingsSnapshot.h"

std::vector<SettingRow> Rows(const SettingsSnapshot&) { return {}; }

std::vector<SettingDifference> DiffSettings(const SettingsSnapshot&, const SettingsSnapshot&) { return {}; }

std::string SetSettingText(SettingsSnapshot&, const std::string& key, const std::string&) {
    return "Неизвестная настройка " + key;
}

SettingsSnapshot SnapshotFromState(const TDeviceState&) { return {}; }
