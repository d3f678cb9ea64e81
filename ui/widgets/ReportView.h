#pragma once
// A read-only report list: rows addressed by a fixed index and shown under group headers
// in a given display order, cells that exist only once set (or padded), an image per cell,
// and the row and column under the mouse for hints and in-place editors.
#include <QPixmap>
#include <QTreeWidget>
#include <vector>

#include "ui/widgets/ReportCatalog.h"

class ReportView : public QTreeWidget {
    Q_OBJECT
public:
    explicit ReportView(QWidget* parent = nullptr);

    // Columns, groups and rows of the catalog; every row gets the catalog's designed cells.
    void SetCatalog(const ViewCatalog& catalog);

    int RowCount() const { return int(rows_.size()); }
    QString RowCaption(int row) const;
    int RowGroup(int row) const;
    // Appends a row without cells at the end of the view (views without groups).
    void AppendRow(const QString& caption, int group = kNoGroup);
    void RemoveLastRow();

    int ColumnCount() const { return columnCount(); }
    void AppendColumn(const QString& caption, int width);
    void RemoveLastColumn();
    QString ColumnCaption(int column) const;

    // Cells are the value columns: cell k is shown in column k + 1.
    int CellCount(int row) const;
    void PadCells(int row, int count);  // appends empty cells until the row has count
    // Writing a cell that does not exist does nothing; callers decide whether to pad first.
    void SetCellText(int row, int cell, const QString& text);
    QString CellText(int row, int cell) const;
    void SetCellImage(int row, int cell, const QPixmap& image);  // a null pixmap removes it
    QPixmap CellImage(int row, int cell) const;

    // Viewport coordinates. Rows are scanned in index order; top and bottom are inclusive.
    int RowAt(int y) const;
    int ColumnAt(int x) const;
    QRect CellRect(int row, int column) const;
    void ScrollToRow(int row);

    // Hint for the mouse position, shown at once; empty text keeps the previous hint.
    void ShowHint(const QString& text, const QPoint& globalPos);

    // Width a column needs to show its caption and every row's cell whole; one cell's need.
    int ColumnContentWidth(int column) const;
    int CellContentWidth(const QModelIndex& index) const;
    // The whole text of the cell at a viewport position when its column is too narrow for it.
    QString CutTextAt(QPoint pos) const;
    // The tip for a viewport position: a cut value whole, then the hint.
    QString TipAt(QPoint pos, const QString& hint) const;

signals:
    void MouseMovedOverRow(int row, QPoint globalPos);
    // A mouse button went down at this viewport position (in-place editors, click cells).
    void MousePressed(QPoint pos);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    struct Cell {
        QString text;
        QPixmap image;
    };
    struct Row {
        QTreeWidgetItem* item = nullptr;
        int group = kNoGroup;
        std::vector<Cell> cells;
    };
    QTreeWidgetItem* GroupItem(int group);
    void RefreshGroupVisibility();
    bool HasCell(int row, int cell) const;

    std::vector<Row> rows_;
    std::vector<std::pair<int, QTreeWidgetItem*>> groups_;  // display order
};
