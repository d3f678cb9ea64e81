#pragma once
// The settings file: one JSON document, "format": 1, the identification, the date read and
// every setting under its group and caption, so a person can read and edit it.
#include <string>

#include "commands/SettingsSnapshot.h"

std::string SettingsToJson(const SettingsSnapshot& snapshot);

struct SettingsFile {
    SettingsSnapshot Snapshot;
    std::string Error;  // empty when the text was a settings file; else why not, naming the line
};
SettingsFile SettingsFromJson(const std::string& text);
