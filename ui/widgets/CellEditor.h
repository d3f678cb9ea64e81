#pragma once
// An in-place editor opened over one cell of a report view: same place and size as the cell,
// holding the cell's text, shown and focused. The editor is a child of any ancestor of the view.
class QLineEdit;
class ReportView;

// `column` counts the caption column as 0, so cell column - 1 supplies the text.
void OpenEditorOverCell(QLineEdit& editor, const ReportView& view, int row, int column);
