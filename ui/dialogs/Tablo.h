#pragma once
// The display-board window: state of the four boards and two keyboards; temperature offsets
// and colour corrections edited in place.
#include <array>
#include <cstdint>
#include <functional>

#include "commands/TabloState.h"
#include "engine/Views.h"
#include "ui/dialogs/ToolWindow.h"

class QLineEdit;
class ReportView;

class TTabloForm : public ToolWindow, public ITabloView {
    Q_OBJECT
public:
    explicit TTabloForm(QWidget* parent = nullptr);

    // The main window's starters; the window itself never talks to the controller.
    std::function<void(int board, const ColourCorrection& record)> SendTabloColourCorrection;
    std::function<void(int device, uint8_t offset)> SendTabloTempOffset;

    // ITabloView
    void SetTabloCell(int row, int device, const std::string& text) override;
    void SetColourCorrection(int board, const ColourCorrection& record) override;
    void ColourCorrectionWritten(int board, const ColourCorrection& record, bool taken) override;

    // Handlers; positions in the list's viewport.
    void MainListViewMouseDown(QPoint pos);
    void ListViewEditKeyDown(int key);

    ReportView* MainListView = nullptr;
    QLineEdit* ListViewEdit = nullptr;

    int EditRow = 0;  // 0: no editor open
    int EditDevice = 0;
    // Colour correction of each display board as last read or edited, and whether it was read.
    std::array<ColourCorrection, kDisplayBoardCount> Records{};
    std::array<bool, kDisplayBoardCount> RecordRead{};
    // Edits handed over but not written yet, and the record the last of them sends: a poll
    // read in between still shows the old values, and the next edit must not send them back.
    std::array<int, kDisplayBoardCount> WritesUnderway{};
    std::array<ColourCorrection, kDisplayBoardCount> Typed{};

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
