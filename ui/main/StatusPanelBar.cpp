#include "ui/main/StatusPanelBar.h"

#include <QCursor>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <qdrawutil.h>

#include "ui/main/LinkRules.h"

namespace {
constexpr int kDesignedHeight = 19;
constexpr int kProgressPanel = 3;
constexpr int kTextInset = 3;
constexpr qsizetype kKeptTexts = 256;  // per panel; well above the texts of one poll pass
}

StatusPanelBar::StatusPanelBar(std::vector<Panel> panels, QWidget* parent)
    : QWidget(parent), panels_(std::move(panels)), shown_(panels_.size()) {
    for (Panel& p : panels_) p.designed = p.width;
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setFixedHeight(sizeHint().height());
}

QSize StatusPanelBar::sizeHint() const {
    return {400, std::max(kDesignedHeight, fontMetrics().height() + 6)};
}

QString StatusPanelBar::PanelText(int panel) const {
    return panel >= 0 && panel < int(panels_.size()) ? panels_[size_t(panel)].text : QString();
}

void StatusPanelBar::SetPanelText(int panel, const QString& text) {
    if (panel < 0 || panel >= int(panels_.size()) || panels_[size_t(panel)].text == text) return;
    panels_[size_t(panel)].text = text;
    const std::vector<int> before = Widths();
    // Only a panel that widens for its text, or the message that panel 3 makes room for, can
    // move the panels; the status text of every exchange does not.
    if (panels_[size_t(panel)].widest > 0 || panel == int(panels_.size()) - 1) Relayout();
    if (Widths() != before) {
        update();
        emit Resized();
    } else {
        update(PanelRect(panel));
    }
}

void StatusPanelBar::SetPanelWidest(int panel, int widest) {
    if (panel < 0 || panel >= int(panels_.size())) return;
    panels_[size_t(panel)].widest = widest;
    Relayout();
    update();
}

int StatusPanelBar::TextWidth(const QString& text) const { return fontMetrics().horizontalAdvance(text); }

int StatusPanelBar::TextRoom(int panel) const { return PanelWidth(panel) - 2 - 2 * kTextInset; }

void StatusPanelBar::Relayout() {
    const int frame = 2 + 2 * kTextInset;
    for (Panel& p : panels_)
        if (p.widest > 0) p.width = std::clamp(TextWidth(p.text) + frame, p.designed, std::max(p.designed, p.widest));
    if (int(panels_.size()) > kProgressPanel) {
        const int message = panels_.size() > kProgressPanel + 1 ? TextWidth(panels_.back().text) + frame : 0;
        panels_[kProgressPanel].width = ProgressPanelWidth(width(), Widths(), message);
    }
}

QString StatusPanelBar::PanelToolTip(int panel) const {
    if (panel < 0 || panel >= int(panels_.size())) return {};
    const Panel& p = panels_[size_t(panel)];
    const QString tip = p.toolTipSource ? p.toolTipSource() : p.toolTip;
    // A text the panel cuts is read whole here.
    if (TextWidth(p.text) <= TextRoom(panel) || tip.startsWith(p.text)) return tip;
    return tip.isEmpty() ? p.text : p.text + QLatin1Char('\n') + tip;
}

void StatusPanelBar::SetPanelToolTip(int panel, const QString& text) {
    if (panel < 0 || panel >= int(panels_.size())) return;
    panels_[size_t(panel)].toolTip = text;
    panels_[size_t(panel)].toolTipSource = nullptr;
    RefreshPanelToolTip(panel);
}

void StatusPanelBar::SetPanelToolTipSource(int panel, std::function<QString()> source) {
    if (panel < 0 || panel >= int(panels_.size())) return;
    panels_[size_t(panel)].toolTipSource = std::move(source);
    RefreshPanelToolTip(panel);
}

void StatusPanelBar::RefreshPanelToolTip(int panel) {
    // A tip already showing for this panel follows the live text.
    if (QToolTip::isVisible() && PanelRect(panel).contains(mapFromGlobal(QCursor::pos())))
        QToolTip::showText(QCursor::pos(), PanelToolTip(panel), this, PanelRect(panel));
}

bool StatusPanelBar::event(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        for (Shown& shown : shown_) shown = Shown{};  // cut again with the new font
        Relayout();
    }
    if (event->type() != QEvent::ToolTip) return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const int panel = PanelAt(Widths(), help->pos().x());
    const QString tip = PanelToolTip(panel);
    if (tip.isEmpty()) QToolTip::hideText();
    else QToolTip::showText(help->globalPos(), tip, this, PanelRect(panel));
    return true;
}

std::vector<int> StatusPanelBar::Widths() const {
    std::vector<int> widths;
    for (const auto& p : panels_) widths.push_back(p.width);
    return widths;
}

int StatusPanelBar::PanelWidth(int panel) const {
    if (panel < 0 || panel >= int(panels_.size())) return 0;
    if (panel + 1 < int(panels_.size())) return panels_[size_t(panel)].width;
    int used = 0;
    for (int i = 0; i < panel; ++i) used += panels_[size_t(i)].width;
    return std::max(panels_[size_t(panel)].width, width() - used);
}

QRect StatusPanelBar::PanelRect(int panel) const {
    int left = 0;
    for (int i = 0; i < panel && i < int(panels_.size()); ++i) left += panels_[size_t(i)].width;
    return {left, 0, PanelWidth(panel), height()};
}

const QStaticText& StatusPanelBar::Drawn(int panel, int width) {
    Shown& shown = shown_[size_t(panel)];
    if (shown.width != width) shown = Shown{width, {}};
    const QString& text = panels_[size_t(panel)].text;
    auto it = shown.texts.constFind(text);
    if (it == shown.texts.cend()) {
        if (shown.texts.size() >= kKeptTexts) shown.texts.clear();
        QStaticText drawn(fontMetrics().elidedText(text, Qt::ElideRight, width));
        drawn.setTextFormat(Qt::PlainText);
        drawn.prepare(QTransform(), font());
        it = shown.texts.insert(text, drawn);
    }
    return *it;
}

void StatusPanelBar::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    for (int i = 0; i < int(panels_.size()); ++i) {
        // A new status text repaints its own panel only.
        if (!PanelRect(i).intersects(event->rect())) continue;
        const QRect r = PanelRect(i).adjusted(0, 1, -2, -1);
        qDrawShadePanel(&p, r, palette(), true, 1);
        p.setPen(palette().color(QPalette::WindowText));
        const QRect textRect = r.adjusted(kTextInset, 0, -kTextInset, 0);
        const int top = textRect.top() + (textRect.height() - fontMetrics().height()) / 2;  // centred
        p.drawStaticText(QPointF(textRect.left(), top), Drawn(i, textRect.width()));
    }
}

void StatusPanelBar::mousePressEvent(QMouseEvent* event) {
    emit PanelClicked(PanelAt(Widths(), int(event->position().x())), event->globalPosition().toPoint());
}

void StatusPanelBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Relayout();
    emit Resized();
}
