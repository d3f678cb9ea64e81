#pragma once
// The commands of ornix-cli: each stages its values, runs its operation through the worker
// and prints what the windows would show (or JSON), returning the exit status.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliRun.h"

struct CliContext {
    CliLink Link;
    bool Json = false;
};

int CliIdentify(const CliContext& c);
int CliPoll(const CliContext& c, uint32_t passes);
int CliTimeGet(const CliContext& c);
int CliTimeSet(const CliContext& c, const std::string& when);  // "now" or "dd.mm.yyyy hh:mm:ss" (UTC)
int CliAddressSet(const CliContext& c, int address);
int CliRateSet(const CliContext& c, int rate);
int CliPriceGet(const CliContext& c, int channel);
int CliPriceSet(const CliContext& c, int channel, const std::string& value);
// Loads and starts a dose of litres or money (exactly one given).
int CliDose(const CliContext& c, int channel, const std::string& litres, const std::string& money);
int CliDoseStep(const CliContext& c, const std::string& step, int channel);  // stop, continue, confirm
int CliConfigGet(const CliContext& c);
// Reads the configuration, changes the keys given and writes it; one refused setting and
// nothing is sent.
int CliConfigSet(const CliContext& c, const std::vector<std::string>& settings);
int CliSearch(const CliContext& c, int from, int to);
int CliMemoryDump(const CliContext& c, const std::string& file);
int CliSdList(const CliContext& c);
int CliSdGet(const CliContext& c, const std::string& name, const std::string& file);

// A refusal before anything is sent: the message on stderr (or as JSON), exit status 64.
int CliRefuse(const CliContext& c, const std::string& command, const std::string& message);
