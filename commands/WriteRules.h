#pragma once
// How far the tool lets a setting go before it writes it, with the message that refuses it:
// the windows' editors and a restore from a settings file hold values to the same ranges.
#include <span>

struct ValueRule {
    long long Min, Max;
    const char* Message;
    bool Holds(long long value) const { return value >= Min && value <= Max; }
};

namespace WriteRule {
extern const ValueRule TabloCutOff;          // ml
extern const ValueRule TabloTestStep;        // ms
extern const ValueRule NightBright;          // %
extern const ValueRule VrxAddress;
extern const ValueRule PumpRampUp;           // ms
extern const ValueRule ReductionConst;       // ml
extern const ValueRule LpgAddress;
extern const ValueRule FlowmeterTempOffset;  // °C
extern const ValueRule SoundGenAddress;
extern const ValueRule SoundGenVolume;
extern const ValueRule ValveControllerAddress;
extern const ValueRule ValveControllerOpening;  // %
}  // namespace WriteRule

// The bit rates the valve controller's editor offers, and its message for any other.
bool ValveControllerRateAllowed(long long rate);
extern const char* const kValveControllerRateMessage;

// The flowmeter group, written as one: the timeout, then the block's eleven fields in the main
// window's row order, in the units the block keeps (tenths of a second for the main-valve
// timeout, ml for the manual dose).
std::span<const ValueRule> FlowmeterGroupRules();
