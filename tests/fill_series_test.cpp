// The course of a fill: the flow rate derived from successive volumes, the new fill when the
// volume falls, a window of points that stays bounded however readings come, and its rows.
#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "commands/FillRows.h"
#include "commands/FillSeries.h"
#include "engine/OperationPattern.h"

namespace {

struct Step {
    int64_t TimeMs;
    uint32_t VolumeMl;
    double RateLpm;  // expected after this reading
    uint32_t Fill;
};

TEST(FillSeries, RateFromSuccessiveVolumes) {
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    // 600 ml/s is 36 l/min; here the rate spans the last 2 s once readings allow.
    const Case cases[] = {
        {"steady pour", {{0, 0, 0, 0}, {500, 300, 36, 0}, {1000, 600, 36, 0}, {3000, 1800, 36, 0}, {3500, 2100, 36, 0}}},
        {"start: the rate rises as the window fills with flow",
         {{0, 0, 0, 0}, {1000, 0, 0, 0}, {2000, 0, 0, 0}, {3000, 600, 18, 0}, {4000, 1200, 36, 0}}},
        {"stop: the rate falls to nothing within the window",
         {{0, 0, 0, 0}, {1000, 600, 36, 0}, {2000, 1200, 36, 0}, {3000, 1200, 18, 0}, {4000, 1200, 0, 0}}},
        {"repeated time stamp: the reading updates the last, no zero interval",
         {{0, 0, 0, 0}, {1000, 600, 36, 0}, {1000, 900, 54, 0}, {1000, 900, 54, 0}}},
        {"a single reading and its repetition have no rate", {{5000, 700, 0, 0}, {5000, 800, 0, 0}}},
        {"time stepping back counts as the last time",
         {{0, 0, 0, 0}, {1000, 600, 36, 0}, {400, 700, 42, 0}}},
        {"new fill: the volume falls, the rate starts again",
         {{0, 1000, 0, 0}, {1000, 1600, 36, 0}, {2000, 300, 0, 1}, {3000, 900, 36, 1}, {4000, 100, 0, 2}}},
        {"new fill at a repeated time stamp", {{0, 0, 0, 0}, {1000, 600, 36, 0}, {1000, 0, 0, 1}, {2000, 600, 36, 1}}},
        {"readings farther apart than the window still give a rate",
         {{0, 0, 0, 0}, {5000, 3000, 36, 0}, {10000, 6000, 36, 0}}},
    };
    for (const Case& c : cases) {
        FillSeries series({.RateWindowMs = 2000});
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step& s = c.steps[i];
            const FillPoint& p = series.Add({.TimeMs = s.TimeMs, .VolumeMl = s.VolumeMl});
            EXPECT_NEAR(p.RateLpm, s.RateLpm, 1e-9) << c.name << ", reading " << i;
            EXPECT_EQ(p.Fill, s.Fill) << c.name << ", reading " << i;
            EXPECT_EQ(p.Reading.VolumeMl, s.VolumeMl) << c.name << ", reading " << i;
        }
    }
}

TEST(FillSeries, PointsStayWithinTheWindowAndBoundedAfterALongFeed) {
    FillSeries series;
    // An hour of readings every 7 ms, a fill every 45 s, with bursts of repeated time stamps.
    uint32_t volume = 0;
    size_t most = 0;
    for (int64_t t = 0; t < 3'600'000; t += 7) {
        volume = t % 45'000 < 7 ? 0 : volume + 4;
        for (int repeat = 0; repeat < (t % 1001 == 0 ? 50 : 1); ++repeat)
            series.Add({.TimeMs = t, .WallMs = t, .VolumeMl = volume});
        most = std::max(most, series.Points().size());
    }
    EXPECT_LE(most, series.Capacity());
    EXPECT_GT(series.Points().size(), 1100u);  // the thinning keeps a point per spacing, not one per window
    const auto& points = series.Points();
    // The whole window is there: the thinning bounds the points, not a cut of the oldest.
    EXPECT_GE(points.front().Reading.TimeMs, points.back().Reading.TimeMs - 120'000);
    EXPECT_LE(points.front().Reading.TimeMs, points.back().Reading.TimeMs - 119'800);
    for (size_t i = 1; i < points.size(); ++i) {
        ASSERT_GE(points[i].Reading.TimeMs, points[i - 1].Reading.TimeMs);
        if (points[i].Fill == points[i - 1].Fill) {
            ASSERT_GE(points[i].Reading.VolumeMl, points[i - 1].Reading.VolumeMl);
        }
    }
    // 4 ml every 7 ms is about 34.3 l/min.
    EXPECT_NEAR(points.back().RateLpm, 4.0 / 7 * 60, 0.1);
}

TEST(FillSeries, ReadingOfTheChannelStateBlock) {
    std::array<uint8_t, kChannelStateSize> block{};
    block[0] = 0x60;              // lifted, pump on
    PutU32(&block[1], 20000);     // loaded volume dose
    PutU32(&block[19], 1234);     // poured
    PutU32(&block[23], 6774);     // poured money
    FillReading r = FillReadingOf(ChannelStateBlock(block), 10, 20);
    EXPECT_EQ(r.VolumeMl, 1234u);
    EXPECT_EQ(r.Money, 6774u);
    EXPECT_EQ(r.DoseMl, 20000u);  // nothing started: the loaded dose
    EXPECT_EQ(r.Status, 0x60);
    EXPECT_EQ(r.TimeMs, 10);
    EXPECT_EQ(r.WallMs, 20);
    PutU32(&block[10], 5000);  // a started dose is the fill's own
    EXPECT_EQ(FillReadingOf(ChannelStateBlock(block), 0, 0).DoseMl, 5000u);
    std::vector<const char*> set;
    for (const FillStateBit& bit : kFillStateBits)
        if (FillStateBitSet(r.Status, bit)) set.push_back(bit.Key);
    EXPECT_EQ(set, (std::vector<const char*>{kFillStateBits[4].Key, kFillStateBits[5].Key}));
}

}  // namespace

namespace {

// Sets the zone and the locale of a case, and puts both back at its end.
class ZoneAndLocale {
public:
    ZoneAndLocale(const char* zone, const char* locale) {
        if (const char* tz = getenv("TZ")) saved_ = tz;
        setenv("TZ", zone, 1);
        tzset();
        std::setlocale(LC_ALL, locale);
    }
    ~ZoneAndLocale() {
        if (saved_.empty()) unsetenv("TZ"); else setenv("TZ", saved_.c_str(), 1);
        tzset();
        std::setlocale(LC_ALL, "C");
    }

private:
    std::string saved_;
};

TEST(FillRows, TimeAndNumbersReadTheSameEverywhere) {
    // 2025-03-01 11:05:09.250 UTC
    constexpr int64_t kWall = 1740827109250;
    struct Row {
        const char* zone;
        int64_t wallMs;
        const char* text;
    } rows[] = {
        {"UTC0", kWall, "2025-03-01T11:05:09.250+00:00"},
        {"<+03>-3", kWall, "2025-03-01T14:05:09.250+03:00"},
        {"<-0330>3:30", kWall, "2025-03-01T07:35:09.250-03:30"},
        {"UTC0", kWall + 750, "2025-03-01T11:05:10.000+00:00"},
        {"UTC0", -1, "1969-12-31T23:59:59.999+00:00"},
    };
    for (const Row& r : rows) {
        ZoneAndLocale zone(r.zone, "C");
        EXPECT_EQ(IsoTimeText(r.wallMs), r.text) << r.zone;
    }

    // A decimal comma of the user's locale must not split a field.
    ZoneAndLocale russian("<+03>-3", "ru_RU.UTF-8");
    FillPoint p{.Reading = {.WallMs = kWall, .VolumeMl = 12345, .Money = 67774, .DoseMl = 20000, .Status = 0x62},
                .RateLpm = 35.996, .Fill = 2};
    EXPECT_EQ(FillCsvHeader(), "time,channel,volume_l,flow_l_min,money,dose_l,fill,blocked,unconfirmed,boardBusy,"
                               "nozzleBusy,lifted,pumpOn");
    EXPECT_EQ(FillCsvRow(4, p), "2025-03-01T14:05:09.250+03:00,5,12.345,36.00,677.74,20.000,2,0,1,0,0,1,1");
}

}  // namespace
