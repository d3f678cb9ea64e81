#include "ui/dialogs/SdExplorerUnit.h"

#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <fstream>

#include "commands/ServiceCommands.h"

namespace {

constexpr int kTreeWidth = 281;
constexpr int kTreeIndent = 19;

// The memo breaks lines at "\n" alone; a file's "\r\n" would otherwise show as two breaks.
QString MemoText(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return shown;
}

}  // namespace

TSdCardExplorerForm::TSdCardExplorerForm(QWidget* parent)
    : ToolWindow("SdCardExplorerForm", "SD-Card Explorer", QSize(700, 500), parent) {
    SD_TreeView = new QTreeWidget(this);
    SD_TreeView->setObjectName("SD_TreeView");
    SD_TreeView->setHeaderHidden(true);
    SD_TreeView->setFixedWidth(kTreeWidth);
    SD_TreeView->setIndentation(kTreeIndent);
    SD_FileMemo = new QPlainTextEdit(this);
    SD_FileMemo->setObjectName("SD_FileMemo");
    SD_FileMemo->setReadOnly(true);
    SdProgressBar = new QProgressBar(this);
    SdProgressBar->setObjectName("SdProgressBar");
    SdProgressBar->setTextVisible(true);
    SdProgressBar->hide();
    SdSaveAsButton = new QPushButton("Сохранить как...", this);
    SdSaveAsButton->setObjectName("SdSaveAsButton");
    SdSaveAsButton->setEnabled(false);
    SdSaveLabel = new QLabel(this);
    SdSaveLabel->setObjectName("SdSaveLabel");
    auto* save = new QHBoxLayout;
    save->addWidget(SdSaveAsButton);
    save->addWidget(SdSaveLabel, 1);

    auto* right = new QVBoxLayout;
    right->setContentsMargins(0, 0, 0, 0);
    right->addWidget(SD_FileMemo, 1);
    right->addWidget(SdProgressBar);
    right->addLayout(save);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(SD_TreeView);
    layout->addLayout(right, 1);

    connect(SD_TreeView, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* node, QTreeWidgetItem*) { SD_TreeViewChanging(node); });
    connect(SdSaveAsButton, &QPushButton::clicked, this, &TSdCardExplorerForm::SdSaveAsButtonClick);
    // A file of 64 KB takes over a minute at 9600 bit/s: nobody waits for one nobody looks at.
    connect(this, &ToolWindow::Closed, this, &TSdCardExplorerForm::StopFileRead);
    AskSavePath = [this](const QString& suggested) {
        return QFileDialog::getSaveFileName(this, "Сохранить как...", suggested);
    };
}

void TSdCardExplorerForm::StopFileRead() {
    if (WorkerRunning.load() && CurrentWorker) CurrentWorker->SdReadsEnded.store(showing_);
    // Reads asked for after the explorer opens again carry the next number.
    ++showing_;
}

void TSdCardExplorerForm::SdSaveAsButtonClick() {
    const QString path = AskSavePath ? AskSavePath(QString::fromStdString(FileName)) : QString();
    if (path.isEmpty()) return;
    std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
    out.write(FileBytes.data(), std::streamsize(FileBytes.size()));
    out.close();
    SdSaveLabel->setText(out ? QString("Сохранено: %1 байт в %2").arg(FileBytes.size()).arg(path)
                             : "Не могу записать " + path);
}

void TSdCardExplorerForm::changeEvent(QEvent* event) {
    ToolWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TSdCardExplorerForm::FormActivate() {
    if (RunOperation) RunOperation(ReadSdCardDirectory, {});
}

void TSdCardExplorerForm::SD_TreeViewChanging(QTreeWidgetItem* node) {
    if (!node || !RunOperation) return;
    const std::string path = node->text(0).toStdString();
    FileName = path;
    RunOperation(ReadSdCardFile, [path, number = showing_](TComThread& w) {
        w.SdFilePath = path;
        w.SdReadNumber = number;
    });
}

void TSdCardExplorerForm::ShowSdEntries(const std::vector<std::string>& names) {
    // Refilling is not a choice of the engineer: it must not start a file read.
    const QSignalBlocker quiet(SD_TreeView);
    SD_TreeView->clear();
    for (const std::string& name : names)
        SD_TreeView->addTopLevelItem(new QTreeWidgetItem(QStringList{QString::fromStdString(name)}));
    SD_TreeView->setCurrentItem(nullptr);
}

void TSdCardExplorerForm::StartSdFile(uint32_t size) {
    FileSize = size;
    FileText.clear();
    FileBytes.clear();
    SdSaveLabel->clear();
    SdSaveAsButton->setEnabled(size == 0);
    SD_FileMemo->clear();
    // The bar counts kilobytes so that its range fits an int for any file size.
    SdProgressBar->setRange(0, int(size / 1024) + 1);
    SdProgressBar->setValue(0);
    SdProgressBar->setFormat(QString("%1 из %2 байт").arg(0).arg(size));
    SdProgressBar->setVisible(size > 0);
}

void TSdCardExplorerForm::AppendSdFileChunk(const std::string& text, int chunkLength, uint32_t received) {
    LastChunkLength = uint16_t(chunkLength);
    FileText += text;
    SD_FileMemo->setPlainText(MemoText(FileText));
    SdProgressBar->setValue(int(received / 1024) + (received >= FileSize ? 1 : 0));
    SdProgressBar->setFormat(QString("%1 из %2 байт").arg(received).arg(FileSize));
    if (received >= FileSize) SdProgressBar->hide();
    // Only a whole file is offered for saving: a part would pass for the file.
    SdSaveAsButton->setEnabled(FileBytes.size() >= FileSize);
}

void TSdCardExplorerForm::AppendSdFileBytes(const std::string& bytes) { FileBytes += bytes; }
