#include "commands/FillSeries.h"

#include <algorithm>

#include "engine/OperationPattern.h"

namespace {

// Offsets of the channel state block the fill is read from.
constexpr int kLoadedVolumeAt = 1;
constexpr int kStartedVolumeAt = 10;
constexpr int kPouredVolumeAt = 19;
constexpr int kPouredMoneyAt = 23;

}  // namespace

FillReading FillReadingOf(ChannelStateBlock block, int64_t timeMs, int64_t wallMs) {
    FillReading r;
    r.TimeMs = timeMs;
    r.WallMs = wallMs;
    r.Status = block[ChannelStateAt::Status];
    r.VolumeMl = GetU32(&block[kPouredVolumeAt]);
    r.Money = GetU32(&block[kPouredMoneyAt]);
    const uint32_t started = GetU32(&block[kStartedVolumeAt]);
    r.DoseMl = started != 0 ? started : GetU32(&block[kLoadedVolumeAt]);
    return r;
}

FillSeries::FillSeries(FillSeriesLimits limits) : limits_(limits) {}

size_t FillSeries::Capacity() const {
    return size_t(limits_.WindowMs / std::max<int64_t>(limits_.SpacingMs, 1) + 3);
}

void FillSeries::Clear() {
    points_.clear();
    recent_.clear();
    started_ = false;
}

double FillSeries::RateAfter(const FillReading& r) {
    if (!recent_.empty() && r.TimeMs <= recent_.back().TimeMs) {
        recent_.back().VolumeMl = r.VolumeMl;
    } else {
        recent_.push_back({r.TimeMs, r.VolumeMl});
    }
    // Keep the last reading at or before the window's start, so the rate spans the window.
    while (recent_.size() > 2 && recent_[1].TimeMs <= recent_.back().TimeMs - limits_.RateWindowMs)
        recent_.pop_front();
    if (recent_.size() < 2) return 0;
    const Sample& from = recent_.front();
    const Sample& to = recent_.back();
    // Millilitres per millisecond are litres per second.
    return double(to.VolumeMl - from.VolumeMl) / double(to.TimeMs - from.TimeMs) * 60.0;
}

const FillPoint& FillSeries::Add(const FillReading& reading) {
    FillReading r = reading;
    const bool repeated = started_ && r.TimeMs <= points_.back().Reading.TimeMs;
    if (repeated) r.TimeMs = points_.back().Reading.TimeMs;
    // The controller clears the poured volume when a fill begins.
    const bool newFill = started_ && r.VolumeMl < points_.back().Reading.VolumeMl;
    if (newFill) {
        ++fill_;
        recent_.clear();
    }
    const FillPoint point{r, RateAfter(r), fill_};

    // The newest point follows the readings until it lies a spacing after the one before;
    // then it stays and the next reading makes a new one. A fill's first point always stays.
    const size_t n = points_.size();
    const bool thin = !newFill && n >= 1 &&
                      (repeated || (n >= 2 && points_[n - 2].Fill == fill_ &&
                                    points_[n - 1].Reading.TimeMs - points_[n - 2].Reading.TimeMs < limits_.SpacingMs));
    if (thin)
        points_.back() = point;
    else
        points_.push_back(point);
    started_ = true;

    while (points_.front().Reading.TimeMs < r.TimeMs - limits_.WindowMs) points_.pop_front();
    while (points_.size() > Capacity()) points_.pop_front();
    return points_.back();
}
