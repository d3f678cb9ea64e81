#include "ui/widgets/ReportExport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QToolTip>

#include "ui/widgets/ReportView.h"

namespace {

std::string TsvCell(std::string text) {
    for (char& ch : text)
        if (ch == '\t' || ch == '\n' || ch == '\r') ch = ' ';
    return text;
}

std::string CsvCell(const std::string& text) {
    if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char ch : text) {
        if (ch == '"') quoted += '"';
        quoted += ch;
    }
    return quoted + "\"";
}

void AddItemRow(ReportTable& table, const QTreeWidgetItem& item, const std::vector<int>& columns) {
    std::vector<std::string> row;
    // A group header spans the view: its caption alone.
    if (item.isFirstColumnSpanned()) {
        row.push_back(item.text(0).toStdString());
    } else {
        for (int c : columns) row.push_back(item.text(c).toStdString());
    }
    table.Rows.push_back(std::move(row));
}

}  // namespace

std::string TableText(const ReportTable& table, TableFormat format) {
    const char separator = format == TableFormat::Tsv ? '\t' : ',';
    std::string text;
    for (const auto& row : table.Rows) {
        for (size_t i = 0; i < row.size(); ++i) {
            if (i > 0) text += separator;
            text += format == TableFormat::Tsv ? TsvCell(row[i]) : CsvCell(row[i]);
        }
        text += '\n';
    }
    return text;
}

ReportTable ReportTableOf(const ReportView& view) {
    std::vector<int> columns;
    for (int c = 0; c < view.columnCount(); ++c)
        if (!view.isColumnHidden(c)) columns.push_back(c);
    ReportTable table;
    std::vector<std::string> header;
    for (int c : columns) header.push_back(view.headerItem()->text(c).toStdString());
    table.Rows.push_back(std::move(header));
    for (int i = 0; i < view.topLevelItemCount(); ++i) {
        const QTreeWidgetItem* top = view.topLevelItem(i);
        if (top->isHidden()) continue;
        AddItemRow(table, *top, columns);
        for (int k = 0; k < top->childCount(); ++k)
            if (!top->child(k)->isHidden()) AddItemRow(table, *top->child(k), columns);
    }
    return table;
}

bool SaveReportCsv(const ReportView& view, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const std::string text = TableText(ReportTableOf(view), TableFormat::Csv);
    return file.write(text.data(), qint64(text.size())) == qint64(text.size());
}

void CopyReport(const ReportView& view) {
    QApplication::clipboard()->setText(QString::fromStdString(TableText(ReportTableOf(view), TableFormat::Tsv)));
}

void InstallReportExport(ReportView& view) {
    auto* copy = new QAction(QString::fromUtf8("Копировать"), &view);
    copy->setObjectName("ReportCopyAction");
    copy->setShortcut(QKeySequence::Copy);
    // Ctrl+C belongs to the view that has the focus, not to the whole window.
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(copy, &QAction::triggered, &view, [&view] { CopyReport(view); });

    auto* save = new QAction(QString::fromUtf8("Сохранить CSV..."), &view);
    save->setObjectName("ReportSaveCsvAction");
    QObject::connect(save, &QAction::triggered, &view, [&view, save] {
        const QString path = QFileDialog::getSaveFileName(&view, save->text(), view.objectName() + ".csv",
                                                          "CSV (*.csv)");
        if (!path.isEmpty() && !SaveReportCsv(view, path))
            QToolTip::showText(view.mapToGlobal(QPoint(0, 0)), QString::fromUtf8("Не могу записать ") + path, &view);
    });

    view.addAction(copy);
    view.addAction(save);
    view.setContextMenuPolicy(Qt::ActionsContextMenu);
}
