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

#include <algorithm>

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
    DiffTable->resizeColumnsToContents();
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
