#include "ui/widgets/ReportView.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <QToolTip>

#include <algorithm>

#include "ui/widgets/ReportExport.h"

namespace {
constexpr int kHintShowMs = 10000;
// 16 x 16 cell images plus a line between rows; text-only rows would otherwise be shorter
// and, with uniform row heights, images would spill into the next row.
constexpr int kMinRowHeight = 17;

class MinRowHeightDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(size.height(), kMinRowHeight));
        return size;
    }
};
}  // namespace

ReportView::ReportView(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(0);
    setUniformRowHeights(true);
    setIconSize(QSize(16, 16));
    setItemDelegate(new MinRowHeightDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setMouseTracking(true);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    InstallReportExport(*this);
}

void ReportView::SetCatalog(const ViewCatalog& catalog) {
    clear();
    rows_.clear();
    groups_.clear();
    setColumnCount(int(catalog.columns.size()));
    for (int c = 0; c < int(catalog.columns.size()); ++c) {
        headerItem()->setText(c, QString::fromUtf8(catalog.columns[size_t(c)].caption));
        setColumnWidth(c, catalog.columns[size_t(c)].width);
    }
    for (const auto& g : catalog.groups) {
        auto* item = new QTreeWidgetItem(this);
        item->setText(0, QString::fromUtf8(g.caption));
        item->setFirstColumnSpanned(true);
        item->setFlags(Qt::ItemIsEnabled);
        QFont bold = font();
        bold.setBold(true);
        item->setFont(0, bold);
        groups_.emplace_back(g.id, item);
    }
    for (const auto& r : catalog.rows) {
        AppendRow(QString::fromUtf8(r.caption), r.group);
        PadCells(RowCount() - 1, catalog.designedCells);
    }
    expandAll();
    RefreshGroupVisibility();
}

QTreeWidgetItem* ReportView::GroupItem(int group) {
    for (auto& [id, item] : groups_)
        if (id == group) return item;
    return nullptr;
}

void ReportView::RefreshGroupVisibility() {
    // A group without rows is not displayed.
    for (auto& [id, item] : groups_) item->setHidden(item->childCount() == 0);
}

void ReportView::AppendRow(const QString& caption, int group) {
    QTreeWidgetItem* parent = GroupItem(group);
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    item->setText(0, caption);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    rows_.push_back({item, parent ? group : kNoGroup, {}});
    if (parent) {
        parent->setExpanded(true);
        RefreshGroupVisibility();
    }
}

void ReportView::RemoveLastRow() {
    if (rows_.empty()) return;
    delete rows_.back().item;
    rows_.pop_back();
    RefreshGroupVisibility();
}

QString ReportView::RowCaption(int row) const {
    return row >= 0 && row < RowCount() ? rows_[size_t(row)].item->text(0) : QString();
}

int ReportView::RowGroup(int row) const {
    return row >= 0 && row < RowCount() ? rows_[size_t(row)].group : kNoGroup;
}

void ReportView::AppendColumn(const QString& caption, int width) {
    const int column = columnCount();
    setColumnCount(column + 1);
    headerItem()->setText(column, caption);
    setColumnWidth(column, width);
}

void ReportView::RemoveLastColumn() {
    // Items keep the values of a removed column, so they show again when it returns.
    if (columnCount() > 1) setColumnCount(columnCount() - 1);
}

QString ReportView::ColumnCaption(int column) const {
    return column >= 0 && column < columnCount() ? headerItem()->text(column) : QString();
}

int ReportView::CellCount(int row) const {
    return row >= 0 && row < RowCount() ? int(rows_[size_t(row)].cells.size()) : 0;
}

bool ReportView::HasCell(int row, int cell) const {
    return cell >= 0 && cell < CellCount(row);
}

void ReportView::PadCells(int row, int count) {
    if (row < 0 || row >= RowCount()) return;
    auto& cells = rows_[size_t(row)].cells;
    if (int(cells.size()) < count) cells.resize(size_t(count));
}

void ReportView::SetCellText(int row, int cell, const QString& text) {
    if (!HasCell(row, cell)) return;
    rows_[size_t(row)].cells[size_t(cell)].text = text;
    // A cell beyond the shown columns keeps its value for a column added later.
    rows_[size_t(row)].item->setText(cell + 1, text);
}

QString ReportView::CellText(int row, int cell) const {
    return HasCell(row, cell) ? rows_[size_t(row)].cells[size_t(cell)].text : QString();
}

void ReportView::SetCellImage(int row, int cell, const QPixmap& image) {
    if (!HasCell(row, cell)) return;
    QPixmap& shown = rows_[size_t(row)].cells[size_t(cell)].image;
    // The same picture again, as every poll pass sets it: a new icon would repaint the cell
    // (texts are compared by the item itself).
    if (shown.cacheKey() == image.cacheKey()) return;
    shown = image;
    rows_[size_t(row)].item->setIcon(cell + 1, image.isNull() ? QIcon() : QIcon(image));
}

QPixmap ReportView::CellImage(int row, int cell) const {
    return HasCell(row, cell) ? rows_[size_t(row)].cells[size_t(cell)].image : QPixmap();
}

int ReportView::RowAt(int y) const {
    for (int row = 0; row < RowCount(); ++row) {
        const QRect r = visualItemRect(rows_[size_t(row)].item);
        if (r.isValid() && y >= r.top() && y <= r.bottom()) return row;
    }
    return -1;
}

int ReportView::ColumnAt(int x) const {
    return header()->logicalIndexAt(x);
}

QRect ReportView::CellRect(int row, int column) const {
    if (row < 0 || row >= RowCount() || column < 0 || column >= columnCount()) return {};
    const QRect line = visualItemRect(rows_[size_t(row)].item);
    return {header()->sectionViewportPosition(column), line.top(), header()->sectionSize(column), line.height()};
}

void ReportView::ScrollToRow(int row) {
    if (row >= 0 && row < RowCount()) scrollToItem(rows_[size_t(row)].item);
}

void ReportView::ShowHint(const QString& text, const QPoint& globalPos) {
    if (text.isEmpty()) return;
    QString shown = text;
    shown.remove(QLatin1Char('\r'));
    setToolTip(shown);
    QToolTip::showText(globalPos, TipAt(viewport()->mapFromGlobal(globalPos), shown), this, {}, kHintShowMs);
}

QString ReportView::TipAt(QPoint pos, const QString& hint) const {
    // A value its column cuts is shown whole above the row's hint.
    const QString cut = CutTextAt(pos);
    if (cut.isEmpty() || cut == hint) return hint;
    return hint.isEmpty() ? cut : cut + QLatin1Char('\n') + hint;
}

void ReportView::mouseMoveEvent(QMouseEvent* event) {
    QTreeWidget::mouseMoveEvent(event);
    const QPoint pos = event->position().toPoint();
    emit MouseMovedOverRow(RowAt(pos.y()), event->globalPosition().toPoint());
}

void ReportView::mousePressEvent(QMouseEvent* event) {
    QTreeWidget::mousePressEvent(event);
    emit MousePressed(event->position().toPoint());
}

bool ReportView::viewportEvent(QEvent* event) {
    // Items carry no hints of their own; the view's hint, set on mouse moves, is the one to show.
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = TipAt(help->pos(), toolTip());
        if (!tip.isEmpty()) QToolTip::showText(help->globalPos(), tip, this, {}, kHintShowMs);
        return true;
    }
    return QTreeWidget::viewportEvent(event);
}

int ReportView::ColumnContentWidth(int column) const {
    // Group headers span the row and are left out; the caption column holds no indentation here.
    return std::max(sizeHintForColumn(column), header()->sectionSizeHint(column));
}

int ReportView::CellContentWidth(const QModelIndex& index) const {
    if (!index.isValid() || isFirstColumnSpanned(index.row(), index.parent())) return 0;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    return itemDelegateForIndex(index)->sizeHint(option, index).width();
}

QString ReportView::CutTextAt(QPoint pos) const {
    const QModelIndex index = indexAt(pos);
    return CellContentWidth(index) > columnWidth(index.column()) ? index.data().toString() : QString();
}
