#pragma once
// The settings file: one JSON document, "format": 1, the identification, the date read and
// every setting under its group and caption, so a person can read and edit it.
#include <string>

#include "commands/SettingsSnapshot.h"

std::string SettingsToJson(const SettingsSnapshot& snapshot);

// Not "SettingsFile": that is the ini file of link/, and two classes of one name in one program
// share their inline members (one move constructor would serve both).
struct SettingsFileRead {
    SettingsSnapshot Snapshot;
    std::string Error;  // empty when the text was a settings file; else why not, naming the line
};
SettingsFileRead SettingsFromJson(const std::string& text);
