#pragma once
// Runs one operation the way the window does: a worker of its own opens the port, applies the
// staged values on its thread, runs the operation and closes the port. What came of it is
// read off the exchanges it made, so a failure anywhere in the operation is never a success.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "cli/CliViews.h"
#include "engine/ComThreadUnit.h"
#include "link/LinkStatistics.h"

// Exit statuses of ornix-cli.
constexpr int kExitDone = 0;
constexpr int kExitRefused = 1;   // the controller answered with a result code
constexpr int kExitNoLink = 2;    // no answer, a broken answer, or the port failed
constexpr int kExitUsage = 64;

struct CliLink {
    std::string Port;
    int32_t BitRate = 9600;
    uint8_t Address = 1;
    int32_t ExtraTimeoutMs = -1;  // added to answer time-outs on a network line; -1: its round trip
};

struct CliOutcome {
    int Exit = kExitDone;
    int Code = 0;            // the worst exchange's error: result code, or negative link error
    std::string Reason;      // the tool's text for it, or why the port did not open
    int Exchanges = 0;
    std::unique_ptr<TComThread> Worker;  // ended; its record holds what was read
};

// What does not fail a run: silence during the bus search, and a refusal there (a device that
// is found, only does not take the probe); a refusal of a courtesy step (the dose's
// confirmation of the fill before it, which the controller may already have).
struct CliForgiven {
    bool Silence = false;
    int RefusalOf = -1;  // a command code, or -1
};

CliOutcome RunCliOperation(TCliViews& views, const CliLink& link, Op op,
                           std::function<void(TComThread&)> stage = {}, CliForgiven forgiven = {});

// Asks the running operation to stop (from any thread), and every later one not to start: the
// worker ends its job and closes the port as at any end, so the port's exclusive flag is gone
// before the program leaves. An operation cut short this way ends with kExitNoLink.
void StopCliOperations();
// Whether StopCliOperations was called (a signal asked the command to end).
bool CliOperationsStopped();

// From the figures of the exchanges: the exit status and the error that decides it. A link
// error counts before a refusal: the controller may not have seen the request at all.
struct ExchangeVerdict {
    int Exit = kExitDone;
    int Code = 0;
    int Exchanges = 0;
};
ExchangeVerdict JudgeExchanges(const LinkFigures& figures, CliForgiven forgiven);
