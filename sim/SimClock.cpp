#include "sim/SimClock.h"

#include <algorithm>
#include <chrono>
#include <ctime>

SimClockSource HostClock() {
    return [] {
        using namespace std::chrono;
        return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    };
}

namespace {
int64_t HostSecondsSince2000(int64_t unixMs) {
    // Floor division, so times before 1970 would still round the same way.
    int64_t s = unixMs >= 0 ? unixMs / 1000 : (unixMs - 999) / 1000;
    return s - kUnixSecondsAt2000;
}
}  // namespace

uint32_t ClockUtc(const SimClockState& clock, int64_t unixMs) {
    if (clock.Standing) return clock.StandingUtc;
    // The controller's counter is 32 bits wide and wraps like one.
    return uint32_t(HostSecondsSince2000(unixMs) + clock.OffsetSeconds);
}

void SetClockUtc(SimClockState& clock, uint32_t utc, int64_t unixMs) {
    clock.StandingUtc = utc;
    clock.OffsetSeconds = int64_t(utc) - HostSecondsSince2000(unixMs);
}

int8_t HostZoneQuarters() {
    tzset();
    // `timezone` is seconds west of UTC for standard time.
    long quarters = -timezone / 900;
    return int8_t(std::clamp(quarters, -48L, 56L));
}
