#pragma once
// Counts of the exchanges of one poll, per command code: how many were sent and answered,
// how each failed, and how long answers took. The worker writes, the window reads a copy.
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

struct CommandFigures {
    uint32_t exchanges = 0;
    uint32_t answers = 0;                 // an answer frame arrived, good or bad
    std::map<int, uint32_t> errors;       // error code (link: negative, controller: positive) -> count
    uint64_t answerMicrosTotal = 0;       // over the answers
    uint64_t answerMicrosMax = 0;
};
using LinkFigures = std::map<uint8_t, CommandFigures>;  // by command code

class LinkStatistics {
public:
    void Reset();
    // One exchange ended with `error` (0 for success) after `elapsed` from the send's start.
    void Record(uint8_t command, int error, std::chrono::microseconds elapsed);
    // A reader found the last answer to `command` too short: that success becomes `error`.
    void Reclassify(uint8_t command, int error);
    LinkFigures Snapshot() const;

    // What a network line adds to every answer time-out, and the round trip it was measured
    // from (-1 for a local line); `overridden` when a setting gave the allowance instead.
    // Kept over Reset: it belongs to the connection, not to one poll.
    void SetNetworkAllowance(int roundTripMicros, uint32_t allowanceMs, bool overridden);
    // One line for the statistics tooltip; empty for a local line.
    std::string NetworkAllowanceText() const;

private:
    mutable std::mutex mutex_;
    LinkFigures figures_;
    int lastError_ = 0;
    uint8_t lastCommand_ = 0;
    int roundTripMicros_ = -1;
    uint32_t allowanceMs_ = 0;
    bool allowanceOverridden_ = false;
};

// Milliseconds with one decimal, in the user's decimal separator.
std::string Millis(uint64_t micros);

// The figures as text, one command a line ended by `lineBreak`; kinds that never happened
// are left out. Empty when nothing was exchanged.
std::string LinkSummaryText(const LinkFigures& figures, const std::string& lineBreak);

// Writes the figures as one exchange-log entry (nothing when there are none).
void LogLinkSummary(const LinkStatistics& statistics);
