#pragma once
// The main window's status bar: text panels, the last one taking what is left. A click reports
// the panel under the mouse. Panels may widen for their text; panel 3 takes half of the room
// after panels 0 to 2, less when the last panel's message needs it. A cut text shows whole in
// the panel's tip.
#include <QHash>
#include <QStaticText>
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

class StatusPanelBar : public QWidget {
    Q_OBJECT
public:
    struct Panel {
        QString text;
        int width;
        QString toolTip = {};  // shown when the mouse rests on the panel
        // When set, makes the tip at the moment it shows instead: for a tip that would change
        // with every exchange and is rarely looked at.
        std::function<QString()> toolTipSource = {};
        // Above 0: the panel widens for its text up to this, from its designed width.
        int widest = 0;
        int designed = 0;  // set by the bar from `width`
    };
    explicit StatusPanelBar(std::vector<Panel> panels, QWidget* parent = nullptr);

    QString PanelText(int panel) const;
    void SetPanelText(int panel, const QString& text);
    QString PanelToolTip(int panel) const;
    void SetPanelToolTip(int panel, const QString& text);
    void SetPanelToolTipSource(int panel, std::function<QString()> source);
    // Lets a panel widen for its text up to `widest` pixels.
    void SetPanelWidest(int panel, int widest);
    // A tip that is showing for the panel is made again from its source.
    void RefreshPanelToolTip(int panel);
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
    // A panel's text cut to `width` and laid out for drawing. The status text changes with
    // every exchange, but a poll repeats the same few dozen texts pass after pass; cutting and
    // laying one out measures it glyph by glyph, so each is done once per width and font.
    const QStaticText& Drawn(int panel, int width);
    int TextRoom(int panel) const;     // width left for the text inside the panel
    int TextWidth(const QString& text) const;
    void Relayout();                   // widths from the texts and the bar's width

    std::vector<Panel> panels_;
    struct Shown {
        int width = -1;                      // the width `texts` were cut for; -1: none yet
        QHash<QString, QStaticText> texts;   // by the panel's full text
    };
    std::vector<Shown> shown_;
};
