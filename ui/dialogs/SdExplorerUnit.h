#pragma once
// The SD card explorer: root directory entries and the selected entry as text.
#include <functional>
#include <string>

#include "engine/ComThreadUnit.h"
#include "engine/Views.h"
#include "ui/dialogs/ToolWindow.h"

class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

class TSdCardExplorerForm : public ToolWindow, public ISdExplorerView {
    Q_OBJECT
public:
    explicit TSdCardExplorerForm(QWidget* parent = nullptr);

    // The start rule of the main window: hands the operation over or starts a worker for it.
    std::function<void(Op, const std::function<void(TComThread&)>&)> RunOperation;

    // ISdExplorerView
    void ShowSdEntries(const std::vector<std::string>& names) override;
    void StartSdFile(uint32_t size) override;
    void AppendSdFileChunk(const std::string& text, int chunkLength, uint32_t received) override;
    void AppendSdFileBytes(const std::string& bytes) override;

    // Handlers, named after control and event.
    void FormActivate();
    void SD_TreeViewChanging(QTreeWidgetItem* node);
    void SdSaveAsButtonClick();
    // Ends a file read started from here; a running poll goes on.
    void StopFileRead();

    // Where to save the file: asks the engineer (a file dialog unless replaced); empty: cancelled.
    std::function<QString(const QString& suggestedName)> AskSavePath;

    uint32_t FileSize = 0;
    uint16_t LastChunkLength = 0;
    std::string FileText;  // what SD_FileMemo shows, line breaks as the file has them
    std::string FileBytes; // the file as the card holds it, for "Сохранить как..."
    std::string FileName;  // the entry being read

    QTreeWidget* SD_TreeView = nullptr;
    QPlainTextEdit* SD_FileMemo = nullptr;
    QProgressBar* SdProgressBar = nullptr;  // how much of the file has arrived
    QPushButton* SdSaveAsButton = nullptr;  // "Сохранить как...", once the whole file is here
    QLabel* SdSaveLabel = nullptr;          // where the file went, or why it did not

protected:
    void changeEvent(QEvent* event) override;

private:
    uint32_t showing_ = 1;  // counts the explorer's openings; its reads carry it
};
