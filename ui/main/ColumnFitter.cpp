#include "ui/main/ColumnFitter.h"

#include <QEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QHeaderView>
#include <QScrollBar>
#include <QTreeWidget>

#include "ui/main/WindowLayout.h"

#include <algorithm>

ColumnFitter::ColumnFitter(QTreeWidget* view, int firstValueColumn)
    : QObject(view), view_(view), viewport_(view->viewport()), firstValue_(firstValueColumn) {
    viewport_->installEventFilter(this);
    connect(view_->header(), &QHeaderView::sectionResized, this,
            [this](int column, int, int newWidth) { ColumnResized(column, newWidth); });
    // Columns come and go with the controller's channel count; fitted once the view has set
    // the new column up.
    connect(view_->header(), &QHeaderView::sectionCountChanged, this,
            [this] { QTimer::singleShot(0, this, &ColumnFitter::Fit); });
}

std::vector<int> ColumnFitter::Current() const {
    const size_t count = size_t(view_->columnCount());
    std::vector<int> widths(preferred_.begin(), preferred_.begin() + std::min(preferred_.size(), count));
    // A column seen for the first time takes its remembered width, else the one it has.
    for (size_t c = widths.size(); c < count; ++c)
        widths.push_back(c < remembered_.size() ? remembered_[c] : view_->columnWidth(int(c)));
    return widths;
}

std::vector<int> ColumnFitter::Preferred() const {
    std::vector<int> widths = Current();
    // Channels not reported this run keep their widths for the next.
    for (size_t c = widths.size(); c < remembered_.size(); ++c) widths.push_back(remembered_[c]);
    return widths;
}

void ColumnFitter::SetPreferred(const std::vector<int>& widths) {
    remembered_ = widths;
    preferred_.clear();
    Fit();
}

void ColumnFitter::Fit() {
    preferred_ = Current();
    const auto widths = FittedColumnWidths(preferred_, firstValue_, view_->viewport()->width());
    fitting_ = true;
    for (int c = 0; c < int(widths.size()); ++c)
        if (view_->columnWidth(c) != widths[size_t(c)]) view_->setColumnWidth(c, widths[size_t(c)]);
    fitting_ = false;
}

void ColumnFitter::ColumnResized(int column, int newWidth) {
    // Only the engineer's drag makes a width preferred; the view's own set-up does not.
    if (fitting_ || column < 0 || QGuiApplication::mouseButtons() == Qt::NoButton) return;
    preferred_ = Current();
    if (column < int(preferred_.size())) preferred_[size_t(column)] = newWidth;
}

bool ColumnFitter::eventFilter(QObject* watched, QEvent* event) {
    // No call into the view here: its viewport still sends events once the view is half destroyed.
    if (watched == viewport_ && event->type() == QEvent::Resize) Fit();
    return QObject::eventFilter(watched, event);
}
