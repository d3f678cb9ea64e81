#include "ui/widgets/CellEditor.h"

#include <QLineEdit>

#include "ui/widgets/ReportView.h"

void OpenEditorOverCell(QLineEdit& editor, const ReportView& view, int row, int column) {
    const QRect cell = view.CellRect(row, column);
    QWidget* parent = editor.parentWidget();
    const QPoint topLeft = parent ? view.viewport()->mapTo(parent, cell.topLeft()) : cell.topLeft();
    editor.setGeometry(QRect(topLeft, cell.size()));
    editor.setText(view.CellText(row, column - 1));
    editor.show();
    editor.raise();
    editor.setFocus();
}
