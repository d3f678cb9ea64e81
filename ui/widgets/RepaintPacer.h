#pragma once
// Paints a window at most once per interval. While a poll runs, each exchange changes a cell or
// the status text every few milliseconds; painting each change on its own costs more CPU than
// the exchanges, and no screen shows changes faster than its frames. Changes that come within
// an interval of the last paint are painted together at its end, so the last one always shows.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdint>

class QWidget;

// How long a repaint asked for `sinceLastPaintMs` after the last one waits: 0 paints at once.
int RepaintDelayMs(int64_t sinceLastPaintMs, int intervalMs);

class RepaintPacer : public QObject {
public:
    RepaintPacer(QWidget* window, int intervalMs);
    int Paints() const { return paints_; }  // repaints let through so far

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    int intervalMs_;
    QElapsedTimer clock_;
    int64_t lastPaintMs_ = 0;
    QTimer later_;
    int paints_ = 0;
};
