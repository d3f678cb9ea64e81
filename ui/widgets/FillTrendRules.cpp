#include "ui/widgets/FillTrendRules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "commands/FillRows.h"
#include "engine/TextHelpers.h"
#include "link/UserFormats.h"

namespace {

// Told apart on a white chart, and apart from the red of an alarm.
constexpr uint32_t kOwnColours[] = {0x1f77b4, 0x2ca02c, 0xff7f0e, 0x9467bd, 0x8c564b,
                                    0xe377c2, 0x17becf, 0xbcbd22, 0x7f7f7f, 0x393b79,
                                    0x637939, 0x8c6d31, 0x843c39, 0x7b4173, 0x3182bd};

// Colours closer than this (red, green and blue differences added) look alike in a thin line.
constexpr int kLeastDistance = 96;
constexpr int kPalestSum = 3 * 215;

std::string DecimalUserText(double value, int decimals) {
    std::string text = DecimalText(value, decimals);
    const size_t point = text.find('.');
    if (point != std::string::npos) text.replace(point, 1, CurrentUserFormats().DecimalSeparator);
    return text;
}

}  // namespace

std::vector<int> PouringChannels(const FillSeriesSet& series) {
    std::vector<int> channels;
    for (int c = 0; c < kChannelCount; ++c) {
        const auto& points = series[size_t(c)].Points();
        if (std::any_of(points.begin(), points.end(),
                        [](const FillPoint& p) { return p.Reading.VolumeMl > 0 || p.RateLpm > 0; }))
            channels.push_back(c);
    }
    return channels;
}

std::array<uint32_t, kChannelCount> TrendColours(const std::array<uint32_t, kChannelCount>& nozzleColours,
                                                 const std::vector<int>& channels) {
    std::array<uint32_t, kChannelCount> colours{};
    std::vector<uint32_t> taken;
    auto part = [](uint32_t rgb, int shift) { return int((rgb >> shift) & 0xff); };
    auto apart = [&](uint32_t rgb) {
        return std::all_of(taken.begin(), taken.end(), [&](uint32_t other) {
            int distance = 0;
            for (int shift : {0, 8, 16}) distance += std::abs(part(rgb, shift) - part(other, shift));
            return distance >= kLeastDistance;
        });
    };
    for (int c : channels) {
        const uint32_t bgr = nozzleColours[size_t(c)];
        uint32_t rgb = (bgr & 0xff) << 16 | (bgr & 0xff00) | (bgr >> 16 & 0xff);
        const bool pale = part(rgb, 0) + part(rgb, 8) + part(rgb, 16) > kPalestSum;
        if (bgr == 0 || pale || !apart(rgb)) {
            rgb = kOwnColours[size_t(c) % std::size(kOwnColours)];
            for (uint32_t own : kOwnColours)
                if (apart(own)) {
                    rgb = own;
                    break;
                }
        }
        colours[size_t(c)] = rgb;
        taken.push_back(rgb);
    }
    return colours;
}

const FillPoint* PointAt(const FillSeries& series, int64_t wallMs) {
    // A scan, not a search: the wall clock may have been set back while the points came.
    const FillPoint* nearest = nullptr;
    for (const FillPoint& p : series.Points())
        if (!nearest || std::llabs(p.Reading.WallMs - wallMs) < std::llabs(nearest->Reading.WallMs - wallMs))
            nearest = &p;
    return nearest;
}

std::string FillHintText(int channel, const FillPoint& point) {
    const int64_t wall = point.Reading.WallMs;
    const time_t seconds = time_t(wall / 1000);
    tm local{};
    localtime_r(&seconds, &local);
    char time[32];
    std::snprintf(time, sizeof time, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                  int(wall % 1000));
    return "Канал " + std::to_string(channel + 1) + ", " + time + "\n" +
           DecimalUserText(point.Reading.VolumeMl / 1000.0, 3) + " л, " + DecimalUserText(point.RateLpm, 1) +
           " л/мин";
}

double ScaleStep(double top) {
    for (double power = 0.01;; power *= 10)
        for (double factor : {1.0, 2.0, 5.0})
            if (top / (factor * power) <= 8 + 1e-9) return factor * power;
}

double ScaleTop(double highest, double least) {
    const double top = std::max(highest * 1.1, least);
    const double step = ScaleStep(top);
    return std::ceil(top / step - 1e-9) * step;  // 100 * 1.1 is a hair above 110
}

double VolumeScaleTop(const FillSeriesSet& series, const std::vector<int>& channels) {
    double highest = 0;
    for (int c : channels)
        for (const FillPoint& p : series[size_t(c)].Points())
            highest = std::max({highest, p.Reading.VolumeMl / 1000.0, p.Reading.DoseMl / 1000.0});
    return ScaleTop(highest, 1);
}

double RateScaleTop(const FillSeriesSet& series, const std::vector<int>& channels) {
    double highest = 0;
    for (int c : channels)
        for (const FillPoint& p : series[size_t(c)].Points()) highest = std::max(highest, p.RateLpm);
    return ScaleTop(highest, 10);
}

std::string FillTableCsv(const FillSeriesSet& series, const std::vector<int>& channels) {
    std::string text = FillCsvHeader() + "\n";
    for (int c : channels)
        for (const FillPoint& p : series[size_t(c)].Points()) text += FillCsvRow(c, p) + "\n";
    return text;
}
