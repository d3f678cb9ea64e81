#pragma once
// ornix-cli record: the poll for a while, each channel state it reads written at once as a
// row of a CSV or JSON Lines file, so a recording of any length holds constant memory.
#include <string>

#include "cli/CliCommands.h"

// Records for `seconds` (0: until interrupted) or until SIGINT/SIGTERM, into csvFile and/or
// jsonFile ("-" is standard output). The files are complete whichever way it stops.
int CliRecord(const CliContext& c, int seconds, const std::string& csvFile, const std::string& jsonFile);
