#include "ui/dialogs/ToolWindow.h"

#include <QHideEvent>

ToolWindow::ToolWindow(const char* objectName, const char* caption, QSize size, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QString::fromLatin1(objectName));
    setWindowTitle(QString::fromUtf8(caption));
    resize(size);
}

void ToolWindow::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    // A spontaneous hide comes from the window manager iconifying the window: still open.
    // Closing by the user or by the program hides it non-spontaneously.
    if (!event->spontaneous()) emit Closed();
}
