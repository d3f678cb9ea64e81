#include "ui/dialogs/TestTabloManualUnit.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

namespace {
constexpr int kRightPanelWidth = 1;
const QColor kOutline(192, 192, 192);
}  // namespace

TTestTabloManualForm::TTestTabloManualForm(QWidget* parent)
    : ToolWindow("TestTabloManualForm", "Test Tablo", QSize(600, 440), parent) {
    setMinimumSize(600, 440);
    setWindowState(windowState() | Qt::WindowMaximized);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setFocusPolicy(Qt::StrongFocus);

    TabloManualTestRightPanel = new QWidget(this);
    TabloManualTestRightPanel->setObjectName("TabloManualTestRightPanel");
    TabloManualTestRightPanel->setGeometry(width() - kRightPanelWidth, 0, kRightPanelWidth, height());
}

QSize TTestTabloManualForm::DrawingArea() const {
    return {width() - TabloManualTestRightPanel->width(), height()};
}

void TTestTabloManualForm::paintEvent(QPaintEvent*) {
    const QSize area = DrawingArea();
    Scale = TabloScale(area.width(), area.height());
    QPainter painter(this);
    painter.setPen(kOutline);
    for (const TabloLamp& lamp : TabloPicture(Scale)) {
        painter.setBrush(LampLit(Frame, lamp) ? QBrush(Qt::black) : QBrush(Qt::NoBrush));
        if (lamp.circle) {
            painter.drawEllipse(QPoint(lamp.centre.x, lamp.centre.y), lamp.radius, lamp.radius);
            continue;
        }
        QPolygon polygon;
        for (const PixelPoint& c : lamp.corners) polygon << QPoint(c.x, c.y);
        painter.drawPolygon(polygon);
    }
}

void TTestTabloManualForm::mousePressEvent(QMouseEvent* event) {
    // The scale the picture has at this size, even when no paint has come since a resize.
    Scale = TabloScale(DrawingArea().width(), DrawingArea().height());
    const QPoint at = event->position().toPoint();
    if (ToggleAt(Frame, Scale, {at.x(), at.y()})) {
        TestStep = kNoTestStep;
        FrameChanged();
    }
}

void TTestTabloManualForm::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key != Qt::Key_Left && key != Qt::Key_Right) {
        ToolWindow::keyPressEvent(event);
        return;
    }
    TestStep = NextTestStep(TestStep, key == Qt::Key_Right);
    Frame = FrameOfStep(TestStep);
    FrameChanged();
}

void TTestTabloManualForm::resizeEvent(QResizeEvent* event) {
    ToolWindow::resizeEvent(event);
    TabloManualTestRightPanel->setGeometry(width() - kRightPanelWidth, 0, kRightPanelWidth, height());
    TestStep = kNoTestStep;
    update();
}

void TTestTabloManualForm::FrameChanged() {
    update();
    if (SendTestFrame) SendTestFrame(Frame);
}
