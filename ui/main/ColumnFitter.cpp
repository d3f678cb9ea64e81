#include "ui/main/ColumnFitter.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QTimer>

#include "ui/main/WindowLayout.h"
#include "ui/widgets/ReportView.h"

#include <algorithm>

ColumnFitter::ColumnFitter(ReportView* view, int firstValueColumn)
    : QObject(view), view_(view), viewport_(view->viewport()), firstValue_(firstValueColumn) {
    viewport_->installEventFilter(this);
    connect(view_->header(), &QHeaderView::sectionResized, this,
            [this](int column, int, int newWidth) { ColumnResized(column, newWidth); });
    // Columns come and go with the controller's channel count; fitted once the view has set
    // the new column up.
    connect(view_->header(), &QHeaderView::sectionCountChanged, this, &ColumnFitter::FitSoon);
    connect(view_->model(), &QAbstractItemModel::dataChanged, this, &ColumnFitter::CellsChanged);
}

int ColumnFitter::Wanted(int column) const {
    const auto c = size_t(column);
    if (c < dragged_.size() && dragged_[c] > 0) return dragged_[c];
    const int needed = view_->ColumnContentWidth(column);
    return c < remembered_.size() ? std::max(needed, remembered_[c]) : needed;
}

std::vector<int> ColumnFitter::Current() const {
    std::vector<int> widths;
    for (int c = 0; c < view_->columnCount(); ++c) widths.push_back(Wanted(c));
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
    dragged_.clear();
    Fit();
}

void ColumnFitter::Fit() {
    fitPending_ = false;
    const auto widths = FittedColumnWidths(Current(), firstValue_, view_->viewport()->width());
    fitting_ = true;
    for (int c = 0; c < int(widths.size()); ++c)
        if (view_->columnWidth(c) != widths[size_t(c)]) view_->setColumnWidth(c, widths[size_t(c)]);
    fitting_ = false;
}

void ColumnFitter::FitSoon() {
    if (fitPending_) return;
    fitPending_ = true;
    QTimer::singleShot(0, this, &ColumnFitter::Fit);
}

void ColumnFitter::CellsChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight) {
    // A poll rewrites cells all the time: only a text that no longer fits its column costs a fit.
    if (fitPending_ || !topLeft.isValid()) return;
    const int last = std::min(bottomRight.column(), view_->columnCount() - 1);
    for (int row = topLeft.row(); row <= bottomRight.row(); ++row)
        for (int column = topLeft.column(); column <= last; ++column) {
            const QModelIndex cell = topLeft.sibling(row, column);
            if (view_->CellContentWidth(cell) > view_->columnWidth(column)) return FitSoon();
        }
}

void ColumnFitter::ColumnResized(int column, int newWidth) {
    // Only the engineer's drag fixes a width; the view's own set-up does not.
    if (fitting_ || column < 0 || QGuiApplication::mouseButtons() == Qt::NoButton) return;
    if (dragged_.size() <= size_t(column)) dragged_.resize(size_t(column) + 1, 0);
    dragged_[size_t(column)] = newWidth;
}

bool ColumnFitter::eventFilter(QObject* watched, QEvent* event) {
    // No call into the view here: its viewport still sends events once the view is half destroyed.
    if (watched == viewport_ && event->type() == QEvent::Resize) Fit();
    return QObject::eventFilter(watched, event);
}
