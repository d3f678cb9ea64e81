#include "ui/dialogs/Tablo.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QVBoxLayout>

#include "ui/dialogs/ListEditRules.h"
#include "ui/dialogs/TabloRules.h"
#include "ui/widgets/ReportView.h"

TTabloForm::TTabloForm(QWidget* parent) : ToolWindow("TabloForm", "Tablo", QSize(700, 300), parent) {
    MainListView = new ReportView(this);
    MainListView->setObjectName("MainListView");
    MainListView->SetCatalog(kTabloCatalog);
    for (int row = 0; row < MainListView->RowCount(); ++row) MainListView->PadCells(row, TabloCellCount(row));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(MainListView);
    MainListView->viewport()->installEventFilter(this);

    ListViewEdit = new QLineEdit(MainListView->viewport());
    ListViewEdit->setObjectName("ListViewEdit");
    ListViewEdit->hide();
    ListViewEdit->installEventFilter(this);
}

void TTabloForm::SetTabloCell(int row, int device, const std::string& text) {
    MainListView->SetCellText(row, device, QString::fromStdString(text));
}

void TTabloForm::SetColourCorrection(int board, const ColourCorrection& record) {
    if (board < 0 || board >= kDisplayBoardCount) return;
    Records[size_t(board)] = record;
    RecordRead[size_t(board)] = true;
}

void TTabloForm::ColourCorrectionWritten(int board, const ColourCorrection& record, bool taken) {
    if (board < 0 || board >= kDisplayBoardCount) return;
    int& underway = WritesUnderway[size_t(board)];
    if (underway > 0) --underway;
    if (taken) Records[size_t(board)] = record;
}

void TTabloForm::MainListViewMouseDown(QPoint pos) {
    const int row = MainListView->RowAt(pos.y());
    const int column = MainListView->ColumnAt(pos.x());
    const int device = EditedIndexOfColumn(column, MainListView->ColumnCount());
    const bool colourRead = device >= 0 && device < kDisplayBoardCount && RecordRead[size_t(device)];
    if (!TabloCellEditable(row, device, colourRead)) return;
    EditRow = row;
    EditDevice = device;
    ListViewEdit->setGeometry(MainListView->CellRect(row, column));
    ListViewEdit->setText(MainListView->CellText(row, device));
    ListViewEdit->show();
    ListViewEdit->raise();
    ListViewEdit->setFocus();
}

void TTabloForm::ListViewEditKeyDown(int key) {
    if (key == Qt::Key_Escape) {
        ListViewEdit->hide();
        return;
    }
    if ((key != Qt::Key_Return && key != Qt::Key_Enter) || EditRow == 0) return;
    ListViewEdit->hide();
    const std::string typed = ListViewEdit->text().toStdString();
    if (EditRow == TabloRow::TempOffset) {
        // The cell keeps the controller's value until the next reading shows the new one.
        if (const auto offset = TempOffsetToSend(typed); offset && SendTabloTempOffset)
            SendTabloTempOffset(EditDevice, *offset);
        return;
    }
    if (!TabloCellEditable(EditRow, EditDevice, true)) return;
    const auto board = size_t(EditDevice);
    ColourCorrection record = WritesUnderway[board] > 0 ? Typed[board] : Records[board];
    const std::string shown = ApplyColourEdit(record, EditRow, typed);
    if (SendTabloColourCorrection) {
        Typed[board] = record;
        ++WritesUnderway[board];
        SendTabloColourCorrection(EditDevice, record);
    }
    MainListView->SetCellText(EditRow, EditDevice, QString::fromStdString(shown));
}

bool TTabloForm::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // The type first: the viewport still sends events while the list view is half destroyed.
    if (type == QEvent::MouseButtonPress && watched == MainListView->viewport()) {
        MainListViewMouseDown(static_cast<QMouseEvent*>(event)->position().toPoint());
    } else if (watched == ListViewEdit) {
        // An editor that lost the focus would write into a cell the engineer no longer looks at.
        if (type == QEvent::FocusOut) ListViewEdit->hide();
        if (type == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            ListViewEditKeyDown(key);
            if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter) return true;
        }
    }
    return ToolWindow::eventFilter(watched, event);
}
