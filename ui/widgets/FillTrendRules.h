#pragma once
// What the fill chart decides, without widgets: which channels it draws, in which colour,
// the scales, the text under the mouse and the table it saves.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "commands/FillSeries.h"

using FillSeriesSet = std::array<FillSeries, kChannelCount>;

// Channels that poured within the window: a volume or a rate above nothing somewhere.
std::vector<int> PouringChannels(const FillSeriesSet& series);

// The colour of each drawn channel, as 0x00RRGGBB: its nozzle colour as the controller reports
// it (0x00BBGGRR), unless none is reported (black), it is too pale to see on white, or it is
// hard to tell from a channel drawn before it; then the first colour of the chart's own that
// stands apart from those taken.
std::array<uint32_t, kChannelCount> TrendColours(const std::array<uint32_t, kChannelCount>& nozzleColours,
                                                 const std::vector<int>& channels);

// The point nearest to the time on the wall clock; nullptr for an empty series.
const FillPoint* PointAt(const FillSeries& series, int64_t wallMs);

// Hint under the mouse: channel, time with milliseconds, volume and rate, decimal separator
// as the user has it.
std::string FillHintText(int channel, const FillPoint& point);

// Step between the marks of a scale from 0 to top: 1, 2 or 5 times a power of ten, at most
// eight steps.
double ScaleStep(double top);
// Top of a scale: the highest value shown (doses included for the volume), a tenth more,
// never below `least`, rounded up to a whole step.
double ScaleTop(double highest, double least);
double VolumeScaleTop(const FillSeriesSet& series, const std::vector<int>& channels);  // litres
double RateScaleTop(const FillSeriesSet& series, const std::vector<int>& channels);    // l/min

// The chart as a table: the header, then each drawn channel's points in time order.
std::string FillTableCsv(const FillSeriesSet& series, const std::vector<int>& channels);
