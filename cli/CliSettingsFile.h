#pragma once
// ornix-cli settings: a controller's settings into a file, compared with a file, and written
// back from a file, through the same settings jobs as the window.
#include <memory>
#include <string>

#include "cli/CliCommands.h"
#include "commands/SettingsJobs.h"

// Reads every setting of the controller; the job holds the snapshot when Complete.
// `o` gets the run's outcome: kExitDone only for a complete read.
std::shared_ptr<SettingsJob> CliReadSettings(const CliContext& c, CliOutcome& o);

int CliSettingsSave(const CliContext& c, const std::string& file);
// Exit 0 when the controller has what the file holds, 1 when it differs, 2 on a link error.
int CliSettingsDiff(const CliContext& c, const std::string& file);
// Writes what differs; exit 0 only when every value written was read back as the file has it.
int CliSettingsRestore(const CliContext& c, const std::string& file, bool force);
