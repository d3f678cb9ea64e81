#pragma once
// Keeps a report view's columns at their preferred widths and lets the value columns share
// whatever room the view has beyond them, so long values ("5-канальная ТРК", firmware, MD5)
// are not cut while the window is wide. A column the engineer drags becomes preferred.
#include <QObject>
#include <vector>

class QTreeWidget;

class ColumnFitter : public QObject {
    Q_OBJECT
public:
    ColumnFitter(QTreeWidget* view, int firstValueColumn);

    // Preferred widths, what is remembered: the present columns' and those of columns that
    // are not there now. Given ones are taken by the columns as they appear.
    std::vector<int> Preferred() const;
    void SetPreferred(const std::vector<int>& widths);
    void Fit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ColumnResized(int column, int newWidth);
    std::vector<int> Current() const;  // preferred widths of the present columns

    QTreeWidget* view_;
    QWidget* viewport_;  // its own pointer: the viewport sends events while the view is destroyed
    int firstValue_;
    std::vector<int> preferred_;
    std::vector<int> remembered_;  // from the settings file
    bool fitting_ = false;
};
