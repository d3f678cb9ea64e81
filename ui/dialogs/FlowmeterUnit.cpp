#include "ui/dialogs/FlowmeterUnit.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QToolTip>
#include <QVBoxLayout>

#include "commands/FlowmeterTexts.h"
#include "ui/main/ColumnFitter.h"
#include "ui/dialogs/FlowmeterRules.h"
#include "ui/dialogs/ListEditRules.h"
#include "ui/widgets/ReportView.h"

// Wide enough for the captions and five flowmeters' values, tall enough for every row.
TFlowmeterForm::TFlowmeterForm(QWidget* parent) : ToolWindow("FlowmeterForm", "Расходомеры", QSize(900, 600), parent) {
    FlowmeterListView = new ReportView(this);
    FlowmeterListView->setObjectName("FlowmeterListView");
    FlowmeterListView->SetCatalog(kFlowmeterCatalog);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(FlowmeterListView);
    new ColumnFitter(FlowmeterListView, 1);

    QWidget* cells = FlowmeterListView->viewport();
    cells->installEventFilter(this);
    connect(FlowmeterListView, &ReportView::MouseMovedOverRow, this, [this](int, QPoint globalPos) {
        FlowmeterListViewMouseMove(FlowmeterListView->viewport()->mapFromGlobal(globalPos), globalPos);
    });

    FlowmeterTypeCombo = new QComboBox(cells);
    FlowmeterTypeCombo->setObjectName("FlowmeterTypeCombo");
    for (const char* item : kFlowmeterTypeItems) FlowmeterTypeCombo->addItem(QString::fromUtf8(item));
    FlowmeterTypeCombo->setToolTip(QString::fromUtf8(kFlowmeterTypeHint));
    FlowmeterTypeCombo->hide();
    FlowmeterTypeCombo->installEventFilter(this);
    // The open list takes the keys: its Escape closes the list and the editor together.
    typeList_ = FlowmeterTypeCombo->view();
    typeList_->installEventFilter(this);
    connect(FlowmeterTypeCombo, &QComboBox::activated, this, &TFlowmeterForm::FlowmeterTypeComboChange);

    FlowmeterListViewEdit = new QLineEdit(cells);
    FlowmeterListViewEdit->setObjectName("FlowmeterListViewEdit");
    FlowmeterListViewEdit->hide();
    FlowmeterListViewEdit->installEventFilter(this);
}

void TFlowmeterForm::SetFlowmeterCell(int row, int flowmeter, const std::string& text) {
    FlowmeterListView->SetCellText(row, flowmeter, QString::fromStdString(text));
}

void TFlowmeterForm::SetReportedFlowmeterType(int flowmeter, uint8_t type) {
    if (flowmeter >= 0 && flowmeter < kChannelCount) KnownType[size_t(flowmeter)] = type;
}

void TFlowmeterForm::SetCryptoStatus(int flowmeter, uint8_t code) {
    if (flowmeter >= 0 && flowmeter < kChannelCount) CryptoStatus[size_t(flowmeter)] = code;
}

void TFlowmeterForm::ShowChannelCount(int count) {
    const QColor grey = palette().color(QPalette::Disabled, QPalette::WindowText);
    const QColor normal = palette().color(QPalette::Active, QPalette::WindowText);
    for (int column = 1; column < FlowmeterListView->ColumnCount(); ++column)
        FlowmeterListView->headerItem()->setForeground(column, column > count ? grey : normal);
}

void TFlowmeterForm::PlaceOverCell(QWidget* editor, int row, int column) {
    editor->setGeometry(FlowmeterListView->CellRect(row, column));
    editor->show();
    editor->raise();
    editor->setFocus();
}

void TFlowmeterForm::FlowmeterListViewMouseDown(QPoint pos) {
    const int row = FlowmeterListView->RowAt(pos.y());
    const FlowmeterEditor editor = EditorOfRow(row);
    if (editor == FlowmeterEditor::None) return;
    const int column = FlowmeterListView->ColumnAt(pos.x());
    const int flowmeter = EditedIndexOfColumn(column, FlowmeterListView->ColumnCount());
    if (flowmeter < 0) return;
    EditRow = row;
    EditFlowmeter = flowmeter;
    if (editor == FlowmeterEditor::TypeList) {
        FlowmeterTypeCombo->setCurrentIndex(FlowmeterTypeItem(KnownType[size_t(flowmeter)]));
        PlaceOverCell(FlowmeterTypeCombo, row, column);
        FlowmeterTypeCombo->showPopup();
        return;
    }
    FlowmeterListViewEdit->setText(FlowmeterListView->CellText(row, flowmeter));
    PlaceOverCell(FlowmeterListViewEdit, row, column);
}

void TFlowmeterForm::FlowmeterListViewMouseMove(QPoint pos, QPoint globalPos) {
    const int row = FlowmeterListView->RowAt(pos.y());
    if (row < 0) return;
    const int column = FlowmeterListView->ColumnAt(pos.x());
    const int flowmeter = EditedIndexOfColumn(column, FlowmeterListView->ColumnCount());
    const int status = flowmeter >= 0 ? CryptoStatus[size_t(flowmeter)] : -1;
    const QString hint = QString::fromStdString(FlowmeterHint(row, column, status));
    if (hint.isEmpty()) {
        FlowmeterListView->setToolTip({});
        QToolTip::hideText();
        return;
    }
    FlowmeterListView->ShowHint(hint, globalPos);
}

void TFlowmeterForm::FlowmeterTypeComboChange(int item) {
    const int type = item + 1;
    FlowmeterTypeCombo->hide();
    if (type < 1) return;
    KnownType[size_t(EditFlowmeter)] = uint8_t(type);
    if (SendFlowmeterType) SendFlowmeterType(EditFlowmeter, type);
    FlowmeterListView->SetCellText(FlowRow::Type, EditFlowmeter, FlowmeterTypeCombo->itemText(item));
}

void TFlowmeterForm::FlowmeterListViewEditKeyDown(int key) {
    if (key == Qt::Key_Escape) {
        FlowmeterListViewEdit->hide();
        return;
    }
    if ((key != Qt::Key_Return && key != Qt::Key_Enter) || EditRow == 0) return;
    // "  5 " is what a hurried engineer types for 5.
    const QString text = FlowmeterListViewEdit->text().trimmed();
    FlowmeterListView->SetCellText(EditRow, EditFlowmeter, text);
    FlowmeterListViewEdit->hide();
    if (EditRow == FlowRow::LpgAddress && SendFlowmeterAddress)
        SendFlowmeterAddress(EditFlowmeter, KnownType[size_t(EditFlowmeter)], text.toStdString());
    else if (EditRow == FlowRow::TempOffset && SendFlowmeterOffset)
        SendFlowmeterOffset(EditFlowmeter, text.toStdString());
}

bool TFlowmeterForm::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // The type first: the viewport still sends events while the list view is half destroyed.
    if (type == QEvent::MouseButtonPress && watched == FlowmeterListView->viewport()) {
        FlowmeterListViewMouseDown(static_cast<QMouseEvent*>(event)->position().toPoint());
    } else if (watched == typeList_ && typeList_ && type == QEvent::KeyPress &&
               static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        FlowmeterTypeCombo->hidePopup();
        FlowmeterTypeCombo->hide();
        return true;
    } else if (watched == FlowmeterListViewEdit || watched == FlowmeterTypeCombo) {
        auto* editor = static_cast<QWidget*>(watched);
        // An editor that lost the focus would write into a cell the engineer no longer looks at.
        if (type == QEvent::FocusOut && static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
            editor->hide();
        if (type == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (watched == FlowmeterListViewEdit) {
                FlowmeterListViewEditKeyDown(key);
                if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter) return true;
            } else if (key == Qt::Key_Escape) {
                editor->hide();
                return true;
            }
        }
    }
    return ToolWindow::eventFilter(watched, event);
}
