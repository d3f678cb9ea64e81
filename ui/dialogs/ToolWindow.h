#pragma once
// Base of the dialog windows: created once at start-up, hidden until opened, alive for the
// whole run. Closed tells the main window to raise the button that opened it; a window
// that is merely minimised keeps its button down.
#include <QDialog>

class ToolWindow : public QDialog {
    Q_OBJECT
public:
    ToolWindow(const char* objectName, const char* caption, QSize size, QWidget* parent = nullptr);

signals:
    void Closed();

protected:
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
};
