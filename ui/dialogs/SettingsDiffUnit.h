#pragma once
// The differences between a controller and a settings file: group, caption, the controller's
// and the file's text. For a restore each row has a checkbox, "Записать выбранное" writes the
// checked ones and each row then shows whether its value was written and read back.
#include <functional>
#include <string>
#include <vector>

#include "commands/SettingsJobs.h"
#include "ui/dialogs/ToolWindow.h"

class QLabel;
class QPushButton;
class QTableWidget;

class TSettingsDiffForm : public ToolWindow {
    Q_OBJECT
public:
    explicit TSettingsDiffForm(QWidget* parent = nullptr);

    // Columns of DiffTable.
    enum Column { GroupColumn, CaptionColumn, ControllerColumn, FileColumn, ResultColumn, ColumnCount };

    // Fills the table; a restore shows the checkboxes (all checked) and the button.
    void ShowDifferences(const std::vector<SettingDifference>& rows, const std::string& file, bool restore);
    // While a restore writes: nothing can be checked or written again, and it can be stopped.
    void SetJobRunning(bool running);
    // The outcome of a restore, row by row, and its summary.
    void ShowRestoreResults(const SettingsJob& job);
    void SetSummary(const std::string& text);
    std::vector<bool> Checked() const;
    bool RestoreMode() const { return restore_; }
    const std::vector<SettingDifference>& Differences() const { return rows_; }

    // What the buttons ask of the settings actions.
    std::function<void(const std::vector<std::string>& keys)> WriteSelected;
    std::function<void()> Stop;

    // Handlers, named after control and event.
    void WriteSelectedButtonClick();
    void StopButtonClick();

    QLabel* SummaryLabel = nullptr;
    QTableWidget* DiffTable = nullptr;
    QPushButton* WriteSelectedButton = nullptr;
    QPushButton* StopButton = nullptr;
    QPushButton* CloseButton = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FitColumns();
    void UpdateWriteButton();

    std::vector<SettingDifference> rows_;
    bool restore_ = false;
    bool running_ = false;
};
