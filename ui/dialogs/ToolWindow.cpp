#include "ui/dialogs/ToolWindow.h"

#include <QHideEvent>
#include <algorithm>
#include <QKeyEvent>
#include <QScreen>

#include "ui/widgets/WindowFit.h"

ToolWindow::ToolWindow(const char* objectName, const char* caption, QSize size, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QString::fromLatin1(objectName));
    setWindowTitle(QString::fromUtf8(caption));
    ResizeForOpening(*this, size);
}

void ToolWindow::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    // A spontaneous hide comes from the window manager iconifying the window: still open.
    // Closing by the user or by the program hides it non-spontaneously.
    if (!event->spontaneous()) emit Closed();
}

void ToolWindow::keyPressEvent(QKeyEvent* event) {
    // A window opened beside the main one closes by its close box or its button only: an Escape
    // meant for a cell editor must not take the whole window away. Modal ones keep Escape.
    if (event->key() == Qt::Key_Escape && !isModal()) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ToolWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Centred over a narrower main window, a wide window would start beyond the screen's edge.
    if (isMaximized() || !screen()) return;
    const QRect room = screen()->availableGeometry();
    const QRect frame = frameGeometry();
    if (room.contains(frame)) return;
    const int x = std::clamp(frame.left(), room.left(), std::max(room.left(), room.right() + 1 - frame.width()));
    const int y = std::clamp(frame.top(), room.top(), std::max(room.top(), room.bottom() + 1 - frame.height()));
    move(x, y);
}
