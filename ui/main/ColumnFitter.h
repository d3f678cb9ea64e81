#pragma once
// Keeps a report view's columns as wide as their captions and texts need, so no value is cut
// while the view has room, and lets the value columns share whatever room the view has beyond
// that. A column the engineer drags keeps the dragged width for the run; widths remembered from
// an earlier run are the least a column gets.
#include <QObject>
#include <vector>

class QModelIndex;
class ReportView;

class ColumnFitter : public QObject {
    Q_OBJECT
public:
    ColumnFitter(ReportView* view, int firstValueColumn);

    // What is remembered: the present columns' widths before sharing out the room, and those of
    // columns that are not there now. Given ones are the least the columns get as they appear.
    std::vector<int> Preferred() const;
    void SetPreferred(const std::vector<int>& widths);
    void Fit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ColumnResized(int column, int newWidth);
    void CellsChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight);
    void FitSoon();
    int Wanted(int column) const;
    std::vector<int> Current() const;  // wanted widths of the present columns

    ReportView* view_;
    QWidget* viewport_;  // its own pointer: the viewport sends events while the view is destroyed
    int firstValue_;
    std::vector<int> dragged_;     // per column, 0: not dragged this run
    std::vector<int> remembered_;  // from the settings file
    bool fitting_ = false;
    bool fitPending_ = false;
};
