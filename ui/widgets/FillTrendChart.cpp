#include "ui/widgets/FillTrendChart.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFile>
#include <QFileDialog>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMenu>
#include <QTimer>
#include <QToolTip>
#include <QValueAxis>

namespace {

constexpr int64_t kWindowMs = 120000;
constexpr int kRefreshMs = 100;       // ten drawings a second at most
constexpr int kIdleRefreshTicks = 10; // without readings the time axis still moves once a second

int64_t WallNowMs() { return QDateTime::currentMSecsSinceEpoch(); }

QPen LinePen(uint32_t rgb, qreal width, Qt::PenStyle style) {
    QPen pen{QColor::fromRgb(QRgb(0xff000000u | rgb))};
    pen.setWidthF(width);
    pen.setStyle(style);
    return pen;
}

}  // namespace

FillTrendChart::FillTrendChart(QWidget* parent) : QChartView(new QChart, parent) {
    setObjectName("FillTrendChart");
    QChart* c = chart();
    c->setMargins(QMargins(2, 2, 2, 2));
    c->setBackgroundRoundness(0);
    c->legend()->setAlignment(Qt::AlignRight);

    time_ = new QDateTimeAxis(c);
    time_->setFormat("hh:mm:ss");
    time_->setTickCount(7);  // every 20 s
    volume_ = new QValueAxis(c);
    volume_->setTitleText(QString::fromUtf8("Объём, л"));
    volume_->setLabelFormat("%g");
    rate_ = new QValueAxis(c);
    rate_->setTitleText(QString::fromUtf8("Расход, л/мин"));
    rate_->setLabelFormat("%g");
    c->addAxis(time_, Qt::AlignBottom);
    c->addAxis(volume_, Qt::AlignLeft);
    c->addAxis(rate_, Qt::AlignRight);
    // Qt Charts lays out an axis that has no series at the first showing as if it had none for
    // good (the time scale vanished): each scale gets an empty series from the start.
    for (QValueAxis* scale : {volume_, rate_}) {
        auto* anchor = new QLineSeries(c);
        c->addSeries(anchor);
        anchor->attachAxis(time_);
        anchor->attachAxis(scale);
        for (QLegendMarker* marker : c->legend()->markers(anchor)) marker->setVisible(false);
    }
    for (QValueAxis* scale : {volume_, rate_}) {
        scale->setTickType(QValueAxis::TicksDynamic);
        scale->setTickAnchor(0);
    }

    timer_ = new QTimer(this);
    timer_->setInterval(kRefreshMs);
    connect(timer_, &QTimer::timeout, this, [this, ticks = 0]() mutable {
        if (!isVisible()) return;
        if (changed_ || ++ticks >= kIdleRefreshTicks) {
            ticks = 0;
            Refresh();
        }
    });
    timer_->start();
}

void FillTrendChart::AddReading(int channel, const FillReading& reading, uint32_t nozzleColour) {
    if (channel < 0 || channel >= kChannelCount) return;
    series_[size_t(channel)].Add(reading);
    nozzleColours_[size_t(channel)] = nozzleColour;
    changed_ = true;
}

QLineSeries* FillTrendChart::VolumeLine(int channel) const {
    return channel >= 0 && channel < kChannelCount ? lines_[size_t(channel)].Volume : nullptr;
}
QLineSeries* FillTrendChart::RateLine(int channel) const {
    return channel >= 0 && channel < kChannelCount ? lines_[size_t(channel)].Rate : nullptr;
}
QLineSeries* FillTrendChart::DoseLine(int channel) const {
    return channel >= 0 && channel < kChannelCount ? lines_[size_t(channel)].Dose : nullptr;
}

FillTrendChart::Lines& FillTrendChart::LinesOf(int channel) {
    Lines& l = lines_[size_t(channel)];
    if (l.Volume) return l;
    QChart* c = chart();
    auto make = [&](QLineSeries*& line, QValueAxis* scale, const QString& name, bool inLegend) {
        line = new QLineSeries(c);
        line->setName(name);
        c->addSeries(line);
        line->attachAxis(time_);
        line->attachAxis(scale);
        for (QLegendMarker* marker : c->legend()->markers(line)) marker->setVisible(inLegend);
        connect(line, &QLineSeries::hovered, this,
                [this, channel](const QPointF& value, bool hovering) { ShowHint(channel, value, hovering); });
    };
    const QString name = QString::fromUtf8("Канал ") + QString::number(channel + 1);
    make(l.Volume, volume_, name, true);
    make(l.Rate, rate_, name + QString::fromUtf8(", л/мин"), false);
    make(l.Dose, volume_, name + QString::fromUtf8(", доза"), false);
    return l;
}

void FillTrendChart::Refresh() {
    changed_ = false;
    const int64_t now = WallNowMs();
    time_->setRange(QDateTime::fromMSecsSinceEpoch(now - kWindowMs), QDateTime::fromMSecsSinceEpoch(now));
    const std::vector<int> channels = PouringChannels(series_);
    const auto colours = TrendColours(nozzleColours_, channels);
    std::array<bool, kChannelCount> shown{};
    for (int c : channels) {
        shown[size_t(c)] = true;
        Lines& l = LinesOf(c);
        const auto& points = series_[size_t(c)].Points();
        QList<QPointF> volume, rate;
        volume.reserve(qsizetype(points.size()));
        rate.reserve(qsizetype(points.size()));
        for (const FillPoint& p : points) {
            const qreal x = qreal(p.Reading.WallMs);
            volume.append({x, p.Reading.VolumeMl / 1000.0});
            rate.append({x, p.RateLpm});
        }
        const uint32_t colour = colours[size_t(c)];
        l.Volume->setPen(LinePen(colour, 2, Qt::SolidLine));
        l.Rate->setPen(LinePen(colour, 1, Qt::DashLine));
        l.Dose->setPen(LinePen(colour, 1, Qt::DotLine));
        l.Volume->replace(volume);
        l.Rate->replace(rate);
        const double dose = points.back().Reading.DoseMl / 1000.0;
        if (dose > 0)
            l.Dose->replace({{qreal(now - kWindowMs), dose}, {qreal(now), dose}});
        else
            l.Dose->clear();
    }
    for (int c = 0; c < kChannelCount; ++c) {
        Lines& l = lines_[size_t(c)];
        if (!l.Volume) continue;
        for (QLineSeries* line : {l.Volume, l.Rate, l.Dose}) line->setVisible(shown[size_t(c)]);
        for (QLegendMarker* marker : chart()->legend()->markers(l.Volume)) marker->setVisible(shown[size_t(c)]);
    }
    for (auto [scale, top] : {std::pair{volume_, VolumeScaleTop(series_, channels)},
                              std::pair{rate_, RateScaleTop(series_, channels)}}) {
        scale->setRange(0, top);
        scale->setTickInterval(ScaleStep(top));
    }
}

void FillTrendChart::ShowHint(int channel, const QPointF& value, bool hovering) {
    const FillPoint* point = hovering ? PointAt(series_[size_t(channel)], int64_t(value.x())) : nullptr;
    if (!point) {
        QToolTip::hideText();
        return;
    }
    QToolTip::showText(QCursor::pos(), QString::fromStdString(FillHintText(channel, *point)), this);
}

std::string FillTrendChart::CsvText() const { return FillTableCsv(series_, PouringChannels(series_)); }

bool FillTrendChart::SavePng(const QString& path) {
    Refresh();
    return grab().save(path, "PNG");
}

bool FillTrendChart::SaveCsv(const QString& path) const {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const std::string text = CsvText();
    return file.write(text.data(), qint64(text.size())) == qint64(text.size());
}

void FillTrendChart::showEvent(QShowEvent* event) {
    QChartView::showEvent(event);
    Refresh();
}

void FillTrendChart::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* png = menu.addAction(QString::fromUtf8("Сохранить PNG..."));
    QAction* csv = menu.addAction(QString::fromUtf8("Сохранить CSV..."));
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == png) {
        const QString path = QFileDialog::getSaveFileName(this, png->text(), "fills.png", "PNG (*.png)");
        if (!path.isEmpty() && !SavePng(path)) emit SaveFailed(path);
    } else if (chosen == csv) {
        const QString path = QFileDialog::getSaveFileName(this, csv->text(), "fills.csv", "CSV (*.csv)");
        if (!path.isEmpty() && !SaveCsv(path)) emit SaveFailed(path);
    }
}
