#include "ui/dialogs/TestMcuPinsUnit.h"

#include <QEvent>
#include <QListWidget>
#include <QPainter>

#include "commands/ServiceCommands.h"

namespace {

QColor ColourOf(PinColour colour, const QPalette& palette) {
    switch (colour) {
    case PinColour::Red: return QColor(255, 0, 0);
    case PinColour::Black: return QColor(0, 0, 0);
    case PinColour::Blue: return QColor(0, 0, 255);
    case PinColour::ButtonFace: break;
    }
    return palette.color(QPalette::Button);
}

}  // namespace

// Tall enough that the numbers of neighbouring pins stand apart in the desktop's font.
TTestMcuPinsForm::TTestMcuPinsForm(QWidget* parent)
    : ToolWindow("TestMcuPinsForm", "Тест ног процессора", QSize(900, 680), parent) {
    Result.fill(kPinNoFault);
    ErrorListBox = new QListWidget(this);
    ErrorListBox->setObjectName("ErrorListBox");
}

void TTestMcuPinsForm::changeEvent(QEvent* event) {
    ToolWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TTestMcuPinsForm::FormActivate() {
    ErrorListBox->clear();
    Result.fill(kPinNoFault);
    update();
    if (RunOperation) RunOperation(TestMcuPins, {});
}

void TTestMcuPinsForm::ShowPinTestResult(const std::array<uint8_t, kMcuPinCount>& result) {
    std::copy(result.begin(), result.end(), Result.begin());
    Evaluate();
}

void TTestMcuPinsForm::Evaluate() {
    ErrorListBox->clear();
    for (const std::string& line : PinFaultLines(Result)) ErrorListBox->addItem(QString::fromStdString(line));
    update();
}

void TTestMcuPinsForm::resizeEvent(QResizeEvent* event) {
    ToolWindow::resizeEvent(event);
    const int listWidth = ErrorListWidth(width(), height());
    ErrorListBox->setGeometry(width() - listWidth, 0, listWidth, height());
    update();
}

void TTestMcuPinsForm::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QBrush face = palette().button();
    painter.setPen(Qt::black);
    painter.setBrush(face);
    const PackageBody body = BodyFor(height());
    painter.drawRect(body.left, body.top, body.right - body.left, body.bottom - body.top);
    // Numbers a line apart at most: a window made small gets a smaller font, not a blur of digits.
    if (painter.fontMetrics().height() > 2 * body.pinSize) {
        QFont small = painter.font();
        small.setPixelSize(std::max(6, 2 * body.pinSize - 2));
        painter.setFont(small);
    }
    const QFontMetrics metrics = painter.fontMetrics();
    for (int pin = 1; pin <= kPackagePins; ++pin) {
        const PinPlace place = PlaceOfPin(pin, body);
        painter.setBrush(ColourOf(PinColourOf(pin, Result), palette()));
        painter.drawRect(place.x0, place.y0, place.x1 - place.x0 - 1, place.y1 - place.y0 - 1);
        painter.setBrush(face);
        const QString number = QString::number(pin);
        const int w = metrics.horizontalAdvance(number), h = metrics.height();
        const LabelBox box = PinLabelBox(place, w, h);
        if (!box.upright) {
            painter.drawText(QRect(box.x, box.y, w, h), Qt::AlignCenter, number);
            continue;
        }
        painter.save();
        painter.translate(box.x + box.width / 2.0, box.y + box.height / 2.0);
        painter.rotate(-90);
        painter.drawText(QRectF(-w / 2.0, -h / 2.0, w, h), Qt::AlignCenter, number);
        painter.restore();
    }
}
