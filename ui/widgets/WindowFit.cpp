#include "ui/widgets/WindowFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

QSize OpeningSize(QSize designed, QRect available) {
    const QSize frame(kBorderAllowance, kTitleBarAllowance);
    QSize room = kLaptopWorkArea - frame;
    if (!available.isEmpty()) room = room.boundedTo(available.size() - frame);
    return designed.boundedTo(room).expandedTo(QSize(1, 1));
}

void ResizeForOpening(QWidget& window, QSize designed) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    window.resize(OpeningSize(designed, screen ? screen->availableGeometry() : QRect()));
}
