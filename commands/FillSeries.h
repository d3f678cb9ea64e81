#pragma once
// The course of a channel's fills as the poll reads them: poured volume, and a flow rate
// derived from successive volumes and their times, over the last two minutes. The window's
// chart and `ornix-cli record` both use it, so they show the same rate for the same readings.
#include <cstddef>
#include <cstdint>
#include <deque>

#include "commands/ChannelState.h"

// What one read of a channel's state tells about its fill.
struct FillReading {
    int64_t TimeMs = 0;      // when the answer came, on a clock that never steps back
    int64_t WallMs = 0;      // the same moment on the wall clock (ms since 1970), for people
    uint32_t VolumeMl = 0;   // poured in the fill in progress, or in the last one
    uint32_t Money = 0;      // poured, in kopecks (or whole units)
    uint32_t DoseMl = 0;     // volume dose of the fill: the started one, else the loaded one; 0 none
    uint8_t Status = 0;      // the state bits of the block
};

FillReading FillReadingOf(ChannelStateBlock block, int64_t timeMs, int64_t wallMs);

struct FillPoint {
    FillReading Reading;
    double RateLpm = 0;  // litres per minute
    uint32_t Fill = 0;   // fills this series has seen begin; the first one is 0
};

struct FillSeriesLimits {
    int64_t WindowMs = 120000;    // points older than this behind the newest are dropped
    int64_t RateWindowMs = 1000;  // the rate spans at least this much time once readings allow
    int64_t SpacingMs = 100;      // readings closer than this thin out to one point
};

class FillSeries {
public:
    explicit FillSeries(FillSeriesLimits limits = {});

    // Adds a reading and returns the point it became. A volume below the one before starts
    // a new fill. A time at or before the previous reading's counts as that time: the point
    // before is updated in place, and no rate is ever taken over a zero interval.
    const FillPoint& Add(const FillReading& reading);

    const std::deque<FillPoint>& Points() const { return points_; }
    // Points held at most, whatever the readings: one per spacing over the window, and a few.
    size_t Capacity() const;
    void Clear();

private:
    struct Sample {
        int64_t TimeMs;
        uint32_t VolumeMl;
    };
    double RateAfter(const FillReading& r);

    FillSeriesLimits limits_;
    std::deque<FillPoint> points_;
    std::deque<Sample> recent_;  // the current fill's readings the rate is taken over
    bool started_ = false;
    uint32_t fill_ = 0;
};

// The state bits the channel view shows, in its row order: blocked, dose not confirmed,
// display board busy, nozzle busy, nozzle lifted, pump on.
struct FillStateBit {
    const char* Key;
    int Bit;
};
inline constexpr FillStateBit kFillStateBits[] = {
    {"blocked", 4}, {"unconfirmed", 1}, {"boardBusy", 2}, {"nozzleBusy", 3}, {"lifted", 5}, {"pumpOn", 6},
};
inline bool FillStateBitSet(uint8_t status, const FillStateBit& bit) { return (status >> bit.Bit) & 1; }
