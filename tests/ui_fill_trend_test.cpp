// The fill chart: its colours, scales and hints as tables, then the chart in the dose window
// under Qt offscreen while two channels of the virtual controller pour.
#include <gtest/gtest.h>

#include <QImage>
#include <QLineSeries>
#include <QPushButton>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "link/UserFormats.h"
#include "tests/support/QtTestApplication.h"
#include "sim/Pouring.h"
#include "sim/SimBus.h"
#include "tests/support/WindowsOnSim.h"
#include "ui/widgets/FillTrendChart.h"
#include "ui/widgets/FillTrendRules.h"

namespace {

[[maybe_unused]] const auto* const kAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtTestApplication("ui_fill_trend_test"));

TEST(FillTrendRules, ColoursScalesAndHints) {
    std::array<uint32_t, kChannelCount> nozzle{};
    nozzle[0] = 0x0000ff;  // red (0x00BBGGRR)
    nozzle[1] = 0x1000ff;  // nearly the same red
    nozzle[2] = 0xffffff;  // white: nothing to see on the chart
    nozzle[3] = 0xff0000;  // blue
    // channel 4 reports none
    const auto colours = TrendColours(nozzle, {0, 1, 2, 3, 4});
    EXPECT_EQ(colours[0], 0xff0000u);  // as reported, in 0x00RRGGBB
    EXPECT_EQ(colours[3], 0x0000ffu);
    for (int c : {1, 2, 4}) EXPECT_NE(colours[size_t(c)], 0u) << c;
    for (int a = 0; a < 5; ++a)
        for (int b = a + 1; b < 5; ++b) EXPECT_NE(colours[size_t(a)], colours[size_t(b)]) << a << " " << b;
    EXPECT_EQ(TrendColours(nozzle, {1})[1], 0xff0010u);  // alone it keeps its own colour

    struct Scale {
        double highest, least, top, step;
    } scales[] = {{0, 1, 1, 0.2}, {0.2, 1, 1, 0.2}, {9.5, 1, 12, 2}, {100, 10, 120, 20}, {36, 10, 40, 5},
                  {7, 1, 8, 1}, {1000, 10, 1200, 200}};
    for (const Scale& s : scales) {
        EXPECT_EQ(ScaleTop(s.highest, s.least), s.top) << s.highest;
        EXPECT_EQ(ScaleStep(s.top), s.step) << s.highest;
    }

    FillSeriesSet set;
    set[2].Add({.TimeMs = 0, .WallMs = 1000, .VolumeMl = 0, .DoseMl = 20000});
    set[2].Add({.TimeMs = 1000, .WallMs = 2000, .VolumeMl = 600});
    set[4].Add({.TimeMs = 0, .WallMs = 1000, .VolumeMl = 0});  // a channel that stands
    EXPECT_EQ(PouringChannels(set), std::vector<int>{2});
    EXPECT_EQ(VolumeScaleTop(set, {2}), 25);  // the dose counts
    EXPECT_EQ(RateScaleTop(set, {2}), 40);
    EXPECT_EQ(PointAt(set[2], 1400)->Reading.WallMs, 1000);
    EXPECT_EQ(PointAt(set[2], 1600)->Reading.WallMs, 2000);
    EXPECT_EQ(PointAt(set[3], 1600), nullptr);

    UserFormats formats;
    formats.DecimalSeparator = ",";
    SetUserFormats(formats);
    const std::string hint = FillHintText(2, *PointAt(set[2], 2000));
    SetUserFormats(UserFormats{});
    EXPECT_EQ(hint.rfind("Канал 3, ", 0), 0u) << hint;
    EXPECT_NE(hint.find(".000\n0,600 л, 36,0 л/мин"), std::string::npos) << hint;

    const std::string csv = FillTableCsv(set, {2});
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3);
    EXPECT_EQ(csv.substr(0, 5), "time,");
}

TEST(FillTrendChart, BoundedAfterALongFeed) {
    FillTrendChart chart;
    // An hour of readings every 10 ms on one channel, a new fill every minute.
    for (int64_t t = 0; t < 3'600'000; t += 10)
        chart.AddReading(0, {.TimeMs = t, .WallMs = t, .VolumeMl = uint32_t(t % 60'000)}, 0);
    chart.Refresh();
    ASSERT_NE(chart.VolumeLine(0), nullptr);
    EXPECT_LE(size_t(chart.VolumeLine(0)->count()), chart.Series()[0].Capacity());
    EXPECT_EQ(chart.RateLine(0)->count(), chart.VolumeLine(0)->count());
    EXPECT_GT(chart.VolumeLine(0)->count(), 1000);
}

class FillTrendOnSim : public ::testing::Test {
protected:
    static SimConfig Pouring() {
        SimConfig config;
        config.Controller.Pouring.Customers = false;
        config.Controller.Pouring.FlowMlPerSecond = 1500;
        return config;
    }
    void SetUp() override {
        ASSERT_TRUE(on_.Sim().Started()) << on_.Sim().Error();
        dir_ = std::filesystem::temp_directory_path() / ("ornix-trend-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    TForm1& Form() { return on_.Windows().Form1; }
    TFuelForm& Dose() { return on_.Windows().FuelForm; }

    WindowsOnSim on_{Pouring()};
    std::filesystem::path dir_;
};

TEST_F(FillTrendOnSim, ASeriesPerPouringChannelWithRisingVolume) {
    for (int channel : {0, 1})
        ASSERT_TRUE(on_.Sim().WithBus([&](SimBus& bus) { return StartFill(bus.Main(), channel, 100000, 0); }));
    Form().FuelButton->click();
    FillTrendChart* chart = Dose().findChild<FillTrendChart*>("FillTrendChart");
    ASSERT_NE(chart, nullptr);
    ASSERT_TRUE(chart->isVisible());
    Form().PollButton->click();
    auto risen = [&](int channel) {
        QLineSeries* line = chart->VolumeLine(channel);
        return line && line->count() >= 3 && line->at(line->count() - 1).y() > line->at(0).y();
    };
    EXPECT_TRUE(WaitForUi([&] { return risen(0) && risen(1); }, 15000));
    Form().PollButton->click();
    ASSERT_TRUE(WorkerDone());
    chart->Refresh();

    for (int channel : {0, 1}) {
        QLineSeries* volume = chart->VolumeLine(channel);
        ASSERT_NE(volume, nullptr) << channel;
        EXPECT_TRUE(volume->isVisible());
        for (int i = 1; i < volume->count(); ++i) ASSERT_GE(volume->at(i).y(), volume->at(i - 1).y()) << channel;
        EXPECT_GT(chart->RateLine(channel)->at(chart->RateLine(channel)->count() - 1).y(), 0) << channel;
        ASSERT_EQ(chart->DoseLine(channel)->count(), 2);
        EXPECT_EQ(chart->DoseLine(channel)->at(0).y(), 100.0);
        EXPECT_NE(volume->pen().color(), chart->VolumeLine(1 - channel)->pen().color());
    }
    for (int channel = 2; channel < kChannelCount; ++channel)
        EXPECT_TRUE(!chart->VolumeLine(channel) || !chart->VolumeLine(channel)->isVisible()) << channel;

    const QString png = QString::fromStdString((dir_ / "trend.png").string());
    const QString csv = QString::fromStdString((dir_ / "trend.csv").string());
    ASSERT_TRUE(chart->SavePng(png));
    EXPECT_FALSE(QImage(png).isNull());
    ASSERT_TRUE(chart->SaveCsv(csv));
    std::ifstream in(csv.toStdString());
    std::string header, row;
    std::getline(in, header);
    EXPECT_EQ(header.substr(0, 30), "time,channel,volume_l,flow_l_m");
    int rows = 0;
    while (std::getline(in, row)) rows += row.find(",1,") != std::string::npos || row.find(",2,") != std::string::npos;
    EXPECT_GE(rows, 6);
    EXPECT_FALSE(chart->SaveCsv(QString::fromStdString((dir_ / "no-such-folder" / "t.csv").string())));
}

}  // namespace
