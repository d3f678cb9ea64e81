#pragma once
// The parser of ornix-cli in the tool's language: checks that state what is allowed, help
// labels, and usage errors in Russian with the option names kept.
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

// low..high inclusive: "допустимо 1…254".
CLI::Validator RangeCheck(long long low, long long high);
// One of the values listed: "допустимо 4800, 9600".
CLI::Validator OneOfCheck(const std::vector<int>& values);

// Russian group names, labels and type names for the help of `app` and its subcommands.
void UseRussianHelp(CLI::App& app);

// What went wrong in the arguments, and for a missing or unknown command the commands there are.
std::string UsageErrorText(const CLI::App& app, const CLI::ParseError& error);
