#pragma once
// The trend of the fills: for every channel that pours, its poured volume (solid, left scale),
// its flow rate (dotted, right scale) and its dose (dashed) over the last two minutes,
// scrolling, in the channel's nozzle colour. Readings are kept as they come; the drawing is
// brought up to date at most ten times a second, and only while the chart is shown.
#include <QChartView>
#include <array>
#include <string>

#include "ui/widgets/FillTrendRules.h"

class QDateTimeAxis;
class QLineSeries;
class QTimer;
class QValueAxis;

class FillTrendChart : public QChartView {
    Q_OBJECT
public:
    explicit FillTrendChart(QWidget* parent = nullptr);

    // A channel's reading, with the nozzle colour the controller reports (0x00BBGGRR, 0: none).
    void AddReading(int channel, const FillReading& reading, uint32_t nozzleColour);

    const FillSeriesSet& Series() const { return series_; }
    // The drawn series of a channel (nullptr while it has not poured): volume, rate, dose.
    QLineSeries* VolumeLine(int channel) const;
    QLineSeries* RateLine(int channel) const;
    QLineSeries* DoseLine(int channel) const;

    // Brings the drawing up to date now (the timer does it while shown).
    void Refresh();
    bool SavePng(const QString& path);
    bool SaveCsv(const QString& path) const;
    std::string CsvText() const;

signals:
    // A file chosen from the menu could not be written.
    void SaveFailed(const QString& path);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct Lines {
        QLineSeries* Volume = nullptr;
        QLineSeries* Rate = nullptr;
        QLineSeries* Dose = nullptr;
    };
    Lines& LinesOf(int channel);
    void ShowHint(int channel, const QPointF& value, bool hovering);

    FillSeriesSet series_;
    std::array<Lines, kChannelCount> lines_{};
    std::array<uint32_t, kChannelCount> nozzleColours_{};
    QDateTimeAxis* time_ = nullptr;
    QValueAxis* volume_ = nullptr;
    QValueAxis* rate_ = nullptr;
    QTimer* timer_ = nullptr;
    bool changed_ = false;
};
