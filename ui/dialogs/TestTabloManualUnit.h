#pragma once
// The manual display-board test: segments switched by hand and sent as test frames.
#include <functional>

#include "engine/Views.h"
#include "ui/dialogs/TabloTestPicture.h"
#include "ui/dialogs/ToolWindow.h"

class TTestTabloManualForm : public ToolWindow, public ITabloManualTestView {
    Q_OBJECT
public:
    explicit TTestTabloManualForm(QWidget* parent = nullptr);

    // Hands a changed frame to the controller (the main window's start rule).
    std::function<void(const TabloTestFrame&)> SendTestFrame;

    // Kept while the window is closed, so a reopened window goes on from the same picture.
    TabloTestFrame Frame{};
    int TestStep = kNoTestStep;
    double Scale = 0;  // pixels per design unit, as last painted or clicked

    QWidget* TabloManualTestRightPanel = nullptr;

    // Width and height the picture is fitted into.
    QSize DrawingArea() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FrameChanged();
};
