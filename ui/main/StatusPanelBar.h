#pragma once
// The main window's status bar: fixed-width text panels, the last one taking what is left.
// A click reports the panel under the mouse; panel 3 takes half of the room after panels 0 to 2.
#include <QString>
#include <QWidget>
#include <vector>

class StatusPanelBar : public QWidget {
    Q_OBJECT
public:
    struct Panel {
        QString text;
        int width;
        QString toolTip = {};  // shown when the mouse rests on the panel
    };
    explicit StatusPanelBar(std::vector<Panel> panels, QWidget* parent = nullptr);

    QString PanelText(int panel) const;
    void SetPanelText(int panel, const QString& text);
    QString PanelToolTip(int panel) const;
    void SetPanelToolTip(int panel, const QString& text);
    int PanelWidth(int panel) const;
    QRect PanelRect(int panel) const;
    std::vector<int> Widths() const;

    QSize sizeHint() const override;

signals:
    void PanelClicked(int panel, QPoint globalPos);
    void Resized();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // A panel's text as drawn, cut to the width it was cut for: the status text changes with
    // every exchange, and cutting it measures the whole text with the font each time.
    const QString& Elided(int panel, int width);

    std::vector<Panel> panels_;
    struct Shown {
        QString text;
        int width = -1;  // -1: cut again
    };
    std::vector<Shown> shown_;
};
