#include "ui/widgets/RepaintPacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

int RepaintDelayMs(int64_t sinceLastPaintMs, int intervalMs) {
    // A clock that went backwards (it cannot, but a test's may) paints at once.
    if (sinceLastPaintMs < 0 || sinceLastPaintMs >= intervalMs) return 0;
    return int(intervalMs - sinceLastPaintMs);
}

RepaintPacer::RepaintPacer(QWidget* window, int intervalMs)
    : QObject(window), window_(window), intervalMs_(intervalMs) {
    clock_.start();
    lastPaintMs_ = -int64_t(intervalMs);
    later_.setSingleShot(true);
    later_.setTimerType(Qt::PreciseTimer);
    // The window's repaint manager asks once for all that is dirty and waits for that request
    // to be served: the request held back here is the one sent later. Sent, not posted: a post
    // would wake the event loop only to send it.
    connect(&later_, &QTimer::timeout, this, [this] {
        QEvent request(QEvent::UpdateRequest);
        QCoreApplication::sendEvent(window_, &request);
    });
    window->installEventFilter(this);
}

bool RepaintPacer::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_ || event->type() != QEvent::UpdateRequest) return false;
    const int64_t now = clock_.elapsed();
    const int delay = RepaintDelayMs(now - lastPaintMs_, intervalMs_);
    if (delay == 0) {
        lastPaintMs_ = now;
        ++paints_;
        return false;
    }
    if (!later_.isActive()) later_.start(delay);
    return true;
}
