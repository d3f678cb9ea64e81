#include "ui/dialogs/SettingsDiffUnit.h"

#include <QColor>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ui/dialogs/SettingsDiffRules.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QTableWidgetItem* Cell(const std::string& text) {
    auto* item = new QTableWidgetItem(Q(text));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

}  // namespace

TSettingsDiffForm::TSettingsDiffForm(QWidget* parent)
    : ToolWindow("SettingsDiffForm", "Сравнение настроек", QSize(760, 480), parent) {
    SummaryLabel = new QLabel(this);
    SummaryLabel->setObjectName("SummaryLabel");
    SummaryLabel->setWordWrap(true);
    DiffTable = new QTableWidget(0, ColumnCount, this);
    DiffTable->setObjectName("DiffTable");
    DiffTable->setHorizontalHeaderLabels({"Группа", "Параметр", "Контроллер", "Файл", "Результат"});
    DiffTable->verticalHeader()->hide();
    DiffTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    DiffTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DiffTable->horizontalHeader()->setStretchLastSection(true);
    // A text a pixel too wide for its column would wrap out of sight; it is cut visibly instead.
    DiffTable->setWordWrap(false);
    WriteSelectedButton = new QPushButton(kWriteSelectedText, this);
    WriteSelectedButton->setObjectName("WriteSelectedButton");
    StopButton = new QPushButton("Остановить", this);
    StopButton->setObjectName("StopButton");
    CloseButton = new QPushButton("Закрыть", this);
    CloseButton->setObjectName("CloseButton");

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(WriteSelectedButton);
    buttons->addWidget(StopButton);
    buttons->addStretch(1);
    buttons->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(SummaryLabel);
    layout->addWidget(DiffTable, 1);
    layout->addLayout(buttons);

    connect(WriteSelectedButton, &QPushButton::clicked, this, &TSettingsDiffForm::WriteSelectedButtonClick);
    connect(StopButton, &QPushButton::clicked, this, &TSettingsDiffForm::StopButtonClick);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::close);
    connect(DiffTable, &QTableWidget::itemChanged, this, [this] { UpdateWriteButton(); });
    // Closed in the middle of a restore: the writes end after the one on the wire.
    connect(this, &ToolWindow::Closed, this, [this] {
        if (running_) StopButtonClick();
    });
    ShowDifferences({}, "", false);
}

void TSettingsDiffForm::ShowDifferences(const std::vector<SettingDifference>& rows, const std::string& file, bool restore) {
    rows_ = rows;
    restore_ = restore;
    setWindowTitle(Q((restore ? "Восстановление настроек из файла " : "Сравнение настроек с файлом ") + file));
    const QSignalBlocker quiet(DiffTable);
    DiffTable->setRowCount(0);
    DiffTable->setRowCount(int(rows.size()));
    for (int row = 0; row < int(rows.size()); ++row) {
        const DiffRowTexts texts = DiffRowTextsOf(rows[size_t(row)]);
        QTableWidgetItem* group = Cell(texts.Group);
        if (restore) {
            group->setFlags(group->flags() | Qt::ItemIsUserCheckable);
            group->setCheckState(Qt::Checked);
        }
        DiffTable->setItem(row, GroupColumn, group);
        DiffTable->setItem(row, CaptionColumn, Cell(texts.Caption));
        DiffTable->setItem(row, ControllerColumn, Cell(texts.Controller));
        DiffTable->setItem(row, FileColumn, Cell(texts.File));
        DiffTable->setItem(row, ResultColumn, Cell(""));
    }
    DiffTable->setColumnHidden(ResultColumn, !restore);
    FitColumns();
    WriteSelectedButton->setVisible(restore);
    StopButton->setVisible(restore);
    // The folder is in the title; the line above the table names the file.
    SetSummary(CompareSummary(rows.size(), QFileInfo(Q(file)).fileName().toStdString()));
    SetJobRunning(false);
}

void TSettingsDiffForm::SetJobRunning(bool running) {
    running_ = running;
    StopButton->setEnabled(running);
    const QSignalBlocker quiet(DiffTable);
    for (int row = 0; row < DiffTable->rowCount(); ++row) {
        QTableWidgetItem* item = DiffTable->item(row, GroupColumn);
        if (!item || !restore_) continue;
        item->setFlags(running ? item->flags() & ~Qt::ItemIsUserCheckable : item->flags() | Qt::ItemIsUserCheckable);
        if (running && item->checkState() == Qt::Checked) DiffTable->item(row, ResultColumn)->setText("...");
    }
    UpdateWriteButton();
}

void TSettingsDiffForm::ShowRestoreResults(const SettingsJob& job) {
    const std::vector<bool> checked = Checked();
    for (int row = 0; row < DiffTable->rowCount(); ++row) {
        if (!checked[size_t(row)]) {
            DiffTable->item(row, ResultColumn)->setText("");
            continue;
        }
        const RestoreRow* result = ResultOf(job.Results, rows_[size_t(row)].Key);
        QTableWidgetItem* cell = DiffTable->item(row, ResultColumn);
        cell->setText(Q(RestoreResultText(result)));
        cell->setForeground(RestoreRowVerified(result) ? QColor(Qt::darkGreen) : QColor(Qt::red));
    }
    SetSummary(RestoreSummary(job, std::count(checked.begin(), checked.end(), true)));
    FitColumns();
}

void TSettingsDiffForm::showEvent(QShowEvent* event) {
    ToolWindow::showEvent(event);
    FitColumns();  // again in the font the shown window draws with
}

void TSettingsDiffForm::FitColumns() {
    // A few pixels beyond the measured text: the measure and the drawing of a font may differ by one.
    constexpr int kSlack = 6;
    // The last shown column takes the rest of the room by itself.
    int last = DiffTable->columnCount() - 1;
    while (last > 0 && DiffTable->isColumnHidden(last)) --last;
    for (int column = 0; column < last; ++column) {
        if (DiffTable->isColumnHidden(column)) continue;
        DiffTable->resizeColumnToContents(column);
        DiffTable->setColumnWidth(column, DiffTable->columnWidth(column) + kSlack);
    }
}

void TSettingsDiffForm::SetSummary(const std::string& text) { SummaryLabel->setText(Q(text)); }

std::vector<bool> TSettingsDiffForm::Checked() const {
    std::vector<bool> checked;
    for (int row = 0; row < DiffTable->rowCount(); ++row) {
        const QTableWidgetItem* item = DiffTable->item(row, GroupColumn);
        checked.push_back(restore_ && item && item->checkState() == Qt::Checked);
    }
    return checked;
}

void TSettingsDiffForm::UpdateWriteButton() { WriteSelectedButton->setEnabled(WriteSelectedEnabled(Checked(), running_)); }

void TSettingsDiffForm::WriteSelectedButtonClick() {
    // A second click before the first restore has ended finds the button's rule closed.
    if (!WriteSelectedEnabled(Checked(), running_) || !WriteSelected) return;
    WriteSelected(CheckedKeys(rows_, Checked()));
}

void TSettingsDiffForm::StopButtonClick() {
    if (running_ && Stop) Stop();
}
