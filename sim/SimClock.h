#pragma once
// Time in the simulator comes from one injected source, so tests can move it at will.
#include <cstdint>
#include <functional>

#include "sim/ControllerState.h"

// Milliseconds since 1970-01-01 UTC.
using SimClockSource = std::function<int64_t()>;
SimClockSource HostClock();

constexpr int64_t kUnixSecondsAt2000 = 946684800;

// The controller's UTC seconds since 2000 at host time unixMs.
uint32_t ClockUtc(const SimClockState& clock, int64_t unixMs);
// Sets the controller's clock to utc; a standing clock stays standing at the new value.
void SetClockUtc(SimClockState& clock, uint32_t utc, int64_t unixMs);

// The host's standard-time offset from UTC in quarter hours (summer time left out), within
// the zones a controller accepts: what an engineer would have set the controller to.
int8_t HostZoneQuarters();
