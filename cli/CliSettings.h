#pragma once
// ornix-cli works with the window's files: the link settings of "ornix-tester.ini" and the
// exchange log "ornix-tester.log", found as the window finds them beside its executable.
#include <string>

#include "cli/CliRun.h"

// The window's executable beside this one ("/opt/ornix/ornix-cli" -> "/opt/ornix/ornix-tester").
std::string TesterPathBeside(const std::string& executablePath);

// Port, bit rate and address as the window would start with them.
CliLink WindowLinkSettings();
// Sends the exchange log (and its size limit) where the window writes it.
void UseWindowExchangeLog();
// An exchange log that cannot be written is said once, on stderr; the command itself goes on.
void SayExchangeLogProblemsOnStderr();
