#pragma once
// ornix-cli settings report: the commissioning record of the controller as HTML, or as PDF
// printed by the tester (ornix-cli itself has no Qt).
#include <string>

#include "cli/CliCommands.h"

// FILE.html (or .htm) or FILE.pdf; any other name is refused before anything is read.
// `tool` names the program and its version in the record.
int CliSettingsReport(const CliContext& c, const std::string& file, const std::string& tool);
