#include "ui/dialogs/ToolWindow.h"

ToolWindow::ToolWindow(const char* objectName, const char* caption, QSize size, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QString::fromLatin1(objectName));
    setWindowTitle(QString::fromUtf8(caption));
    resize(size);
}

void ToolWindow::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    emit Closed();
}
